// The languages the pages name, by the codes the program stores: ISO 639-1 where there is one,
// else ISO 639-3 (Serbo-Croatian, "hbs"). Engines that speak other codes translate at their
// edge. Shared by the main page and the engine pages; it creates window.QuensaryLanguages.
(function () {
  'use strict';

  const NAMES = {
    ar: 'Arabic', bg: 'Bulgarian', ca: 'Catalan', cs: 'Czech', da: 'Danish', de: 'German',
    el: 'Greek', en: 'English', eo: 'Esperanto', es: 'Spanish', et: 'Estonian', eu: 'Basque',
    fi: 'Finnish', fr: 'French', ga: 'Irish', gl: 'Galician', hbs: 'Serbo-Croatian', he: 'Hebrew',
    hi: 'Hindi', hu: 'Hungarian', id: 'Indonesian', is: 'Icelandic', it: 'Italian', ja: 'Japanese',
    ko: 'Korean', lt: 'Lithuanian', lv: 'Latvian', mk: 'Macedonian', nb: 'Norwegian Bokmål',
    nl: 'Dutch', pl: 'Polish', pt: 'Portuguese', ro: 'Romanian', ru: 'Russian', sk: 'Slovak',
    sl: 'Slovenian', sv: 'Swedish', th: 'Thai', tr: 'Turkish', uk: 'Ukrainian', vi: 'Vietnamese',
    zh: 'Chinese',
  };

  // ISO 639-3 codes of the languages above that have a two-letter code.
  const FROM_ISO3 = {
    ara: 'ar', bul: 'bg', cat: 'ca', ces: 'cs', dan: 'da', deu: 'de', ell: 'el', eng: 'en',
    epo: 'eo', spa: 'es', est: 'et', eus: 'eu', fin: 'fi', fra: 'fr', gle: 'ga', glg: 'gl',
    heb: 'he', hin: 'hi', hun: 'hu', ind: 'id', isl: 'is', ita: 'it', jpn: 'ja', kor: 'ko',
    lit: 'lt', lav: 'lv', mkd: 'mk', nob: 'nb', nld: 'nl', pol: 'pl', por: 'pt', ron: 'ro',
    rus: 'ru', slk: 'sk', slv: 'sl', swe: 'sv', tha: 'th', tur: 'tr', ukr: 'uk', vie: 'vi',
    zho: 'zh',
  };

  // The name of a code, or the code itself for one not listed.
  function nameOf(code) {
    return Object.prototype.hasOwnProperty.call(NAMES, code) ? NAMES[code] : String(code);
  }

  // A code of another system as the program's: "eng" and "EN-GB" are "en", "cat_valencia" is
  // "ca"; a code it does not know is kept, in lower case.
  function normalCode(code) {
    const base = String(code).toLowerCase().split(/[-_]/)[0];
    return Object.prototype.hasOwnProperty.call(FROM_ISO3, base) ? FROM_ISO3[base] : base;
  }

  window.QuensaryLanguages = Object.freeze({ NAMES: Object.freeze(NAMES), nameOf, normalCode });
})();
