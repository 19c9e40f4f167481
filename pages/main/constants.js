// Every word, key, default and limit of the main page, in one place: the words the program
// expects in messages, the keys of its settings and what the page falls back on.
Quensary.constants = Object.freeze({
  // Engine profiles shipped with the program, relative to ../engines/. Add new files here.
  PROFILE_FILES: ['apertium-english-spanish.json'],
  PROFILE_DIR: '../engines/',
  PROFILE_TIMEOUT_MS: 5000,

  LANGUAGES: [
    ['es', 'Spanish'], ['fr', 'French'], ['de', 'German'], ['it', 'Italian'],
    ['pt', 'Portuguese'], ['ca', 'Catalan'], ['gl', 'Galician'], ['nl', 'Dutch'],
    ['pl', 'Polish'], ['ru', 'Russian'], ['uk', 'Ukrainian'], ['ar', 'Arabic'],
    ['zh', 'Chinese'], ['ja', 'Japanese'], ['ko', 'Korean'], ['en', 'English'],
  ],

  DEFAULTS: Object.freeze({
    showOriginal: false,
    showTranslation: false,
    targetLanguage: 'es',
    fontSize: 25,
    opacity: 100,
    colour: '#ffffff',
    onTop: false,
  }),

  FONT_MIN: 14,
  FONT_MAX: 72,
  OPACITY_MIN: 0,
  OPACITY_MAX: 100,
  RANGE_SEND_INTERVAL_MS: 100,
  CLEAR_CONFIRM_MS: 5000,
  STATUS_MS: 3500,
  REPORT_ADDRESS: 'https://quensary.org/issues',

  // The program's handlers: the name each message starts with.
  MESSAGE: Object.freeze({
    pageReady: 'page-ready',
    startCapture: 'start-capture',
    setSetting: 'set-setting',
    lineCommand: 'line-command',
    openLink: 'open-link',
    windowButton: 'window-button',
    windowCommand: 'window-command',
  }),

  // Settings by their stored keys, as Init reports them and set-setting changes them.
  SETTING: Object.freeze({
    captionSource: 'caption-source',
    selectEngine: 'select-engine',
    targetLanguage: 'target-language',
    showOriginal: 'overlay-show-original',
    showTranslation: 'overlay-show-translation',
    onTop: 'main-window-on-top',
    providerWindow: 'caption-window-shown',
    fontSize: 'overlay-font-size',
    opacity: 'overlay-opacity-percent',
    colour: 'overlay-text-colour',
    userEngine: 'user-engine-json',
  }),

  // A set-setting word that stores nothing: it opens the program's home page.
  OPEN_ADDRESS: 'open-address',
  // Init's member with the program's version.
  APP_VERSION: 'app-version',
  // The open-link word for an address to open in the user's browser.
  OPEN_URL: 'open-url',

  LINE_COMMAND: Object.freeze({
    retranslate: 'retranslate',
    deleteLine: 'delete-line',   // with an empty Id: every line and the history
    copyLines: 'copy-lines',
  }),
  COPY_WHICH: Object.freeze({ originals: '1', translations: '2', both: '3' }),

  WINDOW_BUTTON: Object.freeze({ minimise: '1', maximise: '2', quit: '3' }),
  WINDOW_COMMAND: Object.freeze({
    dragOn: 'drag-on',
    dragOff: 'drag-off',
    zoomToggle: 'zoom-toggle',
  }),

  // The caption source the user chooses; the first is the fallback.
  CAPTION_SOURCE_MODES: ['auto', 'accessibility', 'stream'],
});
