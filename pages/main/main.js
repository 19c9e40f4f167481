// Quensary main window. The program drives this page through Init, Juzi, UpdateUserAddLine,
// UpdateCaptionSource, UpdateEngineStatus and TranscriptAnswer, and the page answers through MyJsBack(name, first, second) with text
// arguments only. The calls' receivers are set up here; calls that come before are kept by
// ../shared/page_calls.js and replayed in order. Each panel is a script of its own; main.html
// loads them in the order they depend on each other, this one last.
(function () {
  'use strict';

  const { MESSAGE, SETTING } = Quensary.constants;
  const { receive, send, whenDomReady } = Quensary.calls;
  const {
    applyActiveEngine, applyEngineStatus, applyUserEngine, loadShippedProfiles, setUpEngines,
  } = Quensary.enginePanel;
  const { applyLines, setUpLineList } = Quensary.lineList;
  const { applyCaptionSource, applySettings, setUpSettings } = Quensary.settingsPanel;
  const { isPlainObject } = Quensary.values;
  const { setUpWindowFrame, showVersion } = Quensary.windowFrame;
  const { applyOptions, setUpEngineSettings } = Quensary.engineSettings;
  const transcript = Quensary.transcriptView;

  let initSeen = false;

  function applyInit(obj) {
    const o = isPlainObject(obj) ? obj : {};
    applySettings(o);
    transcript.applySettings(o);
    applyOptions(o[SETTING.engineOptions], o[SETTING.contextSentences]);
    const engine = applyActiveEngine(o);
    showVersion(o);

    // Only the first Init starts things: a later one (after a reload) merely refreshes the controls.
    if (!initSeen) {
      initSeen = true;
      if (engine) send(MESSAGE.setSetting, SETTING.selectEngine, engine);
      send(MESSAGE.startCapture, '', '');
    }
  }

  whenDomReady(() => {
    setUpWindowFrame();
    setUpSettings();
    setUpEngineSettings();
    setUpEngines();
    setUpLineList();
    transcript.setUpTranscript();

    receive({
      Init: applyInit,
      Juzi: (list) => {
        applyLines(list);
        transcript.applyLines(list);
      },
      UpdateUserAddLine: applyUserEngine,
      UpdateCaptionSource: applyCaptionSource,
      UpdateEngineStatus: applyEngineStatus,
      TranscriptAnswer: transcript.applyAnswer,
    });

    loadShippedProfiles().then((profiles) => send(MESSAGE.pageReady, JSON.stringify(profiles)));
  });
})();
