#pragma once

#include <string>
#include <string_view>

namespace quensary {

// Which caption line a request is for. An engine page that follows the conversation keeps the
// finished lines it translated, and drops a request once a newer version of its line overtakes it.
struct LineFacts {
  std::string_view id;
  bool finish = false;
};

// The script that awaits the engine page's `trans` with the sentence, the source language and
// the target language as three template literals, and the line as a fourth argument, inside a
// wrapper that turns every failure into a text the program can tell from a translation:
//   (async () => { ... await trans(`text`,`source`,`target`,{line:`id`,finish:false}) ... })()
// The wrapper answers the translation itself; kFailureMark followed by the message of what
// `trans` threw (an engine page writes there, in words, why it could not translate); kFailureMark
// alone for a result that is no text or is empty; kOvertakenMark when `trans` rejected with an
// AbortError (the page dropped the request for a newer one of the same line); and kNotLoadedMark
// while the page has no `trans` yet. Each text is escaped so that the page receives it exactly as
// given and nothing in it runs: a backslash, a backquote and the substitution opener "${" are
// escaped, and so is a carriage return, which a template literal would otherwise turn into a line
// feed. Bytes that are not UTF-8 become U+FFFD, so a damaged caption still gets translated.
std::string TranslateScript(std::string_view text, std::string_view source, std::string_view target,
                            LineFacts line = {});

// One text as the contents of a template literal, escaped as described above.
std::string TemplateLiteralContents(std::string_view text);

// Marks that start a translate script's answer when there is no translation. Control characters
// that no engine puts at the start of a translation.
inline constexpr char kFailureMark = '\x01';
inline constexpr char kNotLoadedMark = '\x02';
inline constexpr char kOvertakenMark = '\x03';

// What a translate script's answer means.
struct TranslateAnswer {
  enum class Kind {
    kTranslated,  // `text` is the translation
    kFailed,      // the engine page said why in `text` (empty when it gave no reason)
    kNotLoaded,   // the engine page had not loaded, or could not be loaded
    kNoAnswer,    // nothing came back: a time-out, or the page went away meanwhile
    kOvertaken,   // the engine page dropped it: a newer request for the same line replaces it
  };
  Kind kind;
  std::string text;
};

// Reads an answer of TranslateScript as delivered by the page seam (the empty text when none
// came). A page's reason is cut to kMaxReasonBytes, its line breaks and control characters
// become spaces: it is shown on one line.
TranslateAnswer ReadTranslateAnswer(std::string_view answer);
inline constexpr size_t kMaxReasonBytes = 300;

// The script that asks the engine page which languages it offers, through its optional
// `languages()` (which may ask the engine's server): the JSON text of what it resolved to,
// kFailureMark and the reason when it threw, the empty text when the page has no such function.
std::string LanguagesScript();

}  // namespace quensary
