// Reading what the program sends: its values arrive as parsed JSON of any shape.
(function () {
  'use strict';

  function isPlainObject(v) {
    return v !== null && typeof v === 'object' && !Array.isArray(v);
  }

  function has(obj, key) {
    return Object.prototype.hasOwnProperty.call(obj, key);
  }

  function boolOr(v, fallback) {
    return typeof v === 'boolean' ? v : fallback;
  }

  function intOr(v, fallback, min, max) {
    let n = NaN;
    if (typeof v === 'number') n = v;
    else if (typeof v === 'string' && v.trim() !== '') n = Number(v);
    if (!Number.isFinite(n)) return fallback;
    return Math.min(max, Math.max(min, Math.round(n)));
  }

  Quensary.values = Object.freeze({ isPlainObject, has, boolOr, intOr });
})();
