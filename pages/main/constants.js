// Every word, key, default and limit of the main page, in one place. What the program and the
// page share (its handlers, command words, settings keys, defaults and ranges) comes from the
// program's own protocol script, ../protocol.js, loaded before this one; what is the page's alone
// is written here.
const QuensaryProtocolSettings = window.QuensaryProtocol.settings;
Quensary.constants = Object.freeze({
  // Engine profiles shipped with the program, relative to ../engines/. Add new files here.
  PROFILE_FILES: ['apertium.json', 'libre-translate.json', 'deepl.json', 'openai.json'],
  PROFILE_DIR: '../engines/',
  PROFILE_TIMEOUT_MS: 5000,

  // The targets offered for an engine whose profile names no languages (one of the user's own).
  LANGUAGES: ['es', 'fr', 'de', 'it', 'pt', 'ca', 'gl', 'nl', 'pl', 'ru', 'uk', 'ar', 'zh', 'ja',
    'ko', 'en'],
  // The captions' language when the provider does not say.
  DEFAULT_SOURCE: 'en',

  DEFAULTS: Object.freeze({
    showOriginal: QuensaryProtocolSettings.showOriginal.default,
    showTranslation: QuensaryProtocolSettings.showTranslation.default,
    targetLanguage: QuensaryProtocolSettings.targetLanguage.default,
    fontSize: QuensaryProtocolSettings.overlayFontSize.default,
    opacity: QuensaryProtocolSettings.overlayOpacity.default,
    colour: QuensaryProtocolSettings.overlayTextColour.default,
    linesShown: QuensaryProtocolSettings.overlayLinesShown.default,
    onTop: QuensaryProtocolSettings.mainWindowOnTop.default,
    sideBySide: QuensaryProtocolSettings.transcriptSideBySide.default,
  }),

  FONT_MIN: QuensaryProtocolSettings.overlayFontSize.min,
  FONT_MAX: QuensaryProtocolSettings.overlayFontSize.max,
  OPACITY_MIN: QuensaryProtocolSettings.overlayOpacity.min,
  OPACITY_MAX: QuensaryProtocolSettings.overlayOpacity.max,
  LINES_MIN: QuensaryProtocolSettings.overlayLinesShown.min,
  LINES_MAX: QuensaryProtocolSettings.overlayLinesShown.max,
  CONTEXT_DEFAULT: QuensaryProtocolSettings.engineContextSentences.default,
  CONTEXT_MIN: QuensaryProtocolSettings.engineContextSentences.min,
  CONTEXT_MAX: QuensaryProtocolSettings.engineContextSentences.max,
  RANGE_SEND_INTERVAL_MS: 100,
  CLEAR_CONFIRM_MS: 5000,
  // How long a deleted line can be brought back.
  UNDO_MS: 8000,
  STATUS_MS: 3500,
  // Half the program's pace of page calls (500 ms): the engine's timing is then written between
  // two line lists, never in the same frame as one.
  TIMING_DELAY_MS: 250,
  REPORT_ADDRESS: 'https://quensary.org/issues',

  // The program's handlers: the name each message starts with.
  MESSAGE: window.QuensaryProtocol.handlers,

  // Settings by their stored keys, as Init reports them and set-setting changes them.
  SETTING: Object.freeze({
    captionSource: QuensaryProtocolSettings.captionSource.key,
    selectEngine: window.QuensaryProtocol.settingCommands.selectEngine,
    targetLanguage: QuensaryProtocolSettings.targetLanguage.key,
    showOriginal: QuensaryProtocolSettings.showOriginal.key,
    showTranslation: QuensaryProtocolSettings.showTranslation.key,
    onTop: QuensaryProtocolSettings.mainWindowOnTop.key,
    providerWindow: QuensaryProtocolSettings.captionWindowShown.key,
    fontSize: QuensaryProtocolSettings.overlayFontSize.key,
    opacity: QuensaryProtocolSettings.overlayOpacity.key,
    colour: QuensaryProtocolSettings.overlayTextColour.key,
    linesShown: QuensaryProtocolSettings.overlayLinesShown.key,
    userEngine: QuensaryProtocolSettings.userEngineJson.key,
    engineOptions: QuensaryProtocolSettings.engineOptions.key,
    contextSentences: QuensaryProtocolSettings.engineContextSentences.key,
    sideBySide: QuensaryProtocolSettings.transcriptSideBySide.key,
  }),

  // Commands for the active engine: its key goes to the program and never comes back.
  ENGINE_COMMAND: Object.freeze({
    saveKey: window.QuensaryProtocol.settingCommands.saveKey,
    forgetKey: window.QuensaryProtocol.settingCommands.forgetKey,
    check: window.QuensaryProtocol.settingCommands.checkEngine,
  }),

  // A set-setting word that stores nothing: it opens the program's home page.
  OPEN_ADDRESS: window.QuensaryProtocol.settingCommands.openAddress,
  // Init's member with the program's version.
  APP_VERSION: window.QuensaryProtocol.initMembers.appVersion,
  // The open-link word for an address to open in the user's browser.
  OPEN_URL: window.QuensaryProtocol.linkCommands.openUrl,

  LINE_COMMAND: Object.freeze({
    retranslate: window.QuensaryProtocol.lineCommands.translateAgain,
    deleteLine: window.QuensaryProtocol.lineCommands.deleteLine,  // an empty Id: every line
    copyLines: window.QuensaryProtocol.lineCommands.copyLines,
  }),
  // Numbers travel as text.
  COPY_WHICH: Object.freeze({
    originals: String(window.QuensaryProtocol.copyModes.original),
    translations: String(window.QuensaryProtocol.copyModes.translation),
    both: String(window.QuensaryProtocol.copyModes.both),
  }),

  WINDOW_BUTTON: Object.freeze({
    minimise: String(window.QuensaryProtocol.windowButtons.minimize),
    maximise: String(window.QuensaryProtocol.windowButtons.zoom),
    quit: String(window.QuensaryProtocol.windowButtons.quit),
  }),
  WINDOW_COMMAND: window.QuensaryProtocol.windowCommands,

  // The caption source the user chooses; the first is the fallback.
  CAPTION_SOURCE_MODES: [
    window.QuensaryProtocol.captionSourceModes.automatic,
    window.QuensaryProtocol.captionSourceModes.accessibility,
    window.QuensaryProtocol.captionSourceModes.stream,
  ],
});
