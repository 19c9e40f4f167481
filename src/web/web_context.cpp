#include "web/web_context.h"

#include "web/page_scheme.h"

namespace quensary {

WebKitWebContext* ProgramWebContext() {
  static WebKitWebContext* const context = [] {
    WebKitWebContext* made = webkit_web_context_new();
    // The scheme must be known before the first page of the context loads.
    RegisterPageScheme(made);
    return made;
  }();
  return context;
}

}  // namespace quensary
