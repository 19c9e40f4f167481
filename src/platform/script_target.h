#pragma once

#include <functional>
#include <string>

namespace quensary {

// A page that runs scripts: fire and forget, or as the body of an async function whose text
// value is delivered later. Main thread only.
class ScriptTarget {
 public:
  using TextCallback = std::function<void(std::string)>;

  virtual ~ScriptTarget() = default;

  // Runs the script in the page; its result and errors are not observed.
  virtual void RunJs(const std::string& script) = 0;

  // Runs the script as the body of an async function in the page and delivers, on the main
  // thread and exactly once, its value when that is a text, and the empty text for anything else
  // (another type, an exception, a rejection, a syntax error, a page that went away, a time-out).
  virtual void RunJsAsync(const std::string& script, TextCallback done) = 0;
};

}  // namespace quensary
