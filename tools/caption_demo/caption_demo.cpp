// quensary-caption-demo: a small live-caption application that Quensary can read.
//
// It shows captions the way captioning applications do: the bottom row grows word by word, a
// finished sentence is pushed up by the next one, and at most three rows are on screen. The
// sentences come from a transcript file (one sentence per line) or from lines on standard input.
//
// Structure that Quensary reads through AT-SPI: a window kept out of the taskbar whose accessible
// id is the caption window identifier; inside it a box whose accessible carries the caption
// container's subrole; the box's children are the rows (labels: text and position). At start it
// stores its caption language in its own preferences domain.
//
//   quensary-caption-demo [--transcript FILE | -] [--language TAG] [--word-ms N]
//                         [--pause-ms N] [--loop] [--x N] [--y N] [--extra-widgets N] [--regular]

#include <gio/gunixinputstream.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/glib/glib_ptr.h"
#include "platform/glib/gobject_ref.h"
#include "subrole_widgets.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace {

using quensary::RevealText;
namespace Sealed = quensary::Sealed;

constexpr size_t kRowsOnScreen = 3;

struct Options {
  std::string transcript = "-";
  std::string language = "en-US";
  int word_ms = 180;
  int pause_ms = 900;
  bool loop = false;
  int x = 100;
  int y = 700;
  int extra_widgets = 0;
  bool regular = false;
};

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    auto number = [&](int& out) {
      const char* text = value();
      if (!text)
        return false;
      char* end = nullptr;
      const long parsed = std::strtol(text, &end, 10);
      if (*end || parsed < -100000 || parsed > 100000)
        return false;
      out = static_cast<int>(parsed);
      return true;
    };
    bool ok = true;
    if (arg == "--transcript") {
      const char* text = value();
      ok = text != nullptr;
      if (ok)
        options.transcript = text;
    } else if (arg == "--language") {
      const char* text = value();
      ok = text != nullptr;
      if (ok)
        options.language = text;
    } else if (arg == "--word-ms") {
      ok = number(options.word_ms) && options.word_ms > 0;
    } else if (arg == "--pause-ms") {
      ok = number(options.pause_ms) && options.pause_ms >= 0;
    } else if (arg == "--loop") {
      options.loop = true;
    } else if (arg == "--x") {
      ok = number(options.x);
    } else if (arg == "--y") {
      ok = number(options.y);
    } else if (arg == "--extra-widgets") {
      ok = number(options.extra_widgets) && options.extra_widgets >= 0;
    } else if (arg == "--regular") {
      options.regular = true;
    } else {
      ok = false;
    }
    if (!ok) {
      std::fprintf(stderr, "quensary-caption-demo: bad or incomplete option %s\n", arg.c_str());
      return false;
    }
  }
  return true;
}

// Stores the caption language where Quensary looks for it: the key file of this program's
// preferences domain, written atomically, other keys kept.
void StoreLanguage(const std::string& language) {
  const std::string domain = RevealText(Sealed::ProviderDomain);
  const quensary::GCharPtr dir(g_build_filename(g_get_user_config_dir(), domain.c_str(), nullptr));
  const quensary::GCharPtr path(
      g_build_filename(dir.get(), RevealText(Sealed::SettingsFileName).c_str(), nullptr));
  g_mkdir_with_parents(dir.get(), 0700);
  const quensary::GKeyFilePtr file(g_key_file_new());
  g_key_file_load_from_file(file.get(), path.get(), G_KEY_FILE_KEEP_COMMENTS, nullptr);
  g_key_file_set_string(file.get(), RevealText(Sealed::SettingsGroup).c_str(),
                        RevealText(Sealed::ProviderLanguageKey).c_str(), language.c_str());
  GError* raw_error = nullptr;
  g_key_file_save_to_file(file.get(), path.get(), &raw_error);
  if (const quensary::GErrorPtr error{raw_error}) {
    std::fprintf(stderr, "quensary-caption-demo: cannot store the language in %s: %s\n", path.get(),
                 error->message);
  }
}

std::vector<std::string> Words(const std::string& sentence) {
  std::istringstream in(sentence);
  std::vector<std::string> words;
  for (std::string word; in >> word;)
    words.push_back(word);
  return words;
}

// Plays sentences into the row stack, one word per tick.
class CaptionPlayer {
 public:
  CaptionPlayer(GtkWidget* stack, const Options& options) : stack_(stack), options_(options) {}

  void Queue(const std::string& sentence) {
    if (!Words(sentence).empty())
      pending_.push_back(sentence);
  }
  void SetLoopSource(std::vector<std::string> sentences) { loop_source_ = std::move(sentences); }

  // One tick: the next word, or after a finished sentence and its pause, a new row.
  void Tick() {
    if (word_ < words_.size()) {
      text_ += (text_.empty() ? "" : " ") + words_[word_++];
      gtk_label_set_text(GTK_LABEL(rows_.back()), text_.c_str());
      paused_ms_ = 0;
      return;
    }
    if (!rows_.empty() && (paused_ms_ += options_.word_ms) < options_.pause_ms)
      return;
    if (pending_.empty() && options_.loop)
      pending_.assign(loop_source_.begin(), loop_source_.end());
    if (pending_.empty())
      return;
    StartRow(pending_.front());
    pending_.pop_front();
  }

 private:
  void StartRow(const std::string& sentence) {
    if (rows_.size() == kRowsOnScreen) {
      gtk_widget_destroy(rows_.front());
      rows_.pop_front();
    }
    GtkWidget* row = gtk_label_new("");
    gtk_label_set_xalign(GTK_LABEL(row), 0);
    gtk_box_pack_start(GTK_BOX(stack_), row, FALSE, FALSE, 0);
    gtk_widget_show(row);
    rows_.push_back(row);
    words_ = Words(sentence);
    word_ = 0;
    text_.clear();
    Tick();
  }

  GtkWidget* stack_;
  const Options& options_;
  std::deque<std::string> pending_;
  std::vector<std::string> loop_source_;
  std::deque<GtkWidget*> rows_;
  std::vector<std::string> words_;
  size_t word_ = 0;
  std::string text_;
  int paused_ms_ = 0;
};

// Reads sentences from standard input as they come, without blocking the main loop. The stream
// lives as long as its reads go on: each pending read holds it.
void ReadNextLine(quensary::GObjectRef<GDataInputStream> in, CaptionPlayer* player) {
  GDataInputStream* stream = in.get();
  struct Read {
    quensary::GObjectRef<GDataInputStream> in;
    CaptionPlayer* player;
  };
  g_data_input_stream_read_line_async(
      stream, G_PRIORITY_DEFAULT, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        const std::unique_ptr<Read> read(static_cast<Read*>(data));
        const quensary::GCharPtr line(g_data_input_stream_read_line_finish_utf8(
            G_DATA_INPUT_STREAM(source), result, nullptr, nullptr));
        if (!line)  // end of input or an error: play what has come
          return;
        read->player->Queue(line.get());
        ReadNextLine(std::move(read->in), read->player);
      },
      std::make_unique<Read>(Read{std::move(in), player}).release());
}

// Filler widgets in front of the captions, so a search has a realistic tree to walk.
GtkWidget* ExtraWidgets(int count) {
  GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_widget_set_size_request(scroller, -1, 40);
  GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  GtkWidget* line = nullptr;
  for (int i = 0; i < count; ++i) {
    if (i % 10 == 0) {
      line = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 2);
      gtk_box_pack_start(GTK_BOX(column), line, FALSE, FALSE, 0);
    }
    const std::string name = "filler " + std::to_string(i);
    gtk_box_pack_start(GTK_BOX(line), gtk_label_new(name.c_str()), FALSE, FALSE, 0);
  }
  gtk_container_add(GTK_CONTAINER(scroller), column);
  return scroller;
}

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  Options options;
  if (!ParseOptions(argc, argv, options))
    return 2;

  std::vector<std::string> transcript;
  if (options.transcript != "-") {
    std::ifstream in(options.transcript);
    if (!in) {
      std::fprintf(stderr, "quensary-caption-demo: cannot read %s\n", options.transcript.c_str());
      return 1;
    }
    for (std::string line; std::getline(in, line);) {
      if (!Words(line).empty())
        transcript.push_back(line);
    }
  }
  StoreLanguage(options.language);

  GtkWidget* window = NewSubroleWindow(nullptr);
  gtk_window_set_title(GTK_WINDOW(window), "Live captions (demo)");
  gtk_window_set_default_size(GTK_WINDOW(window), 900, 150);
  gtk_window_move(GTK_WINDOW(window), options.x, options.y);
  // Set before the window is mapped, so it is in the initial _NET_WM_STATE even without a
  // window manager.
  gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window), !options.regular);
  atk_object_set_accessible_id(gtk_widget_get_accessible(window),
                               RevealText(Sealed::CaptionWindowIdentifier).c_str());
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);

  GtkWidget* layout = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
  gtk_container_set_border_width(GTK_CONTAINER(layout), 8);
  gtk_container_add(GTK_CONTAINER(window), layout);
  if (options.extra_widgets > 0)
    gtk_box_pack_start(GTK_BOX(layout), ExtraWidgets(options.extra_widgets), FALSE, FALSE, 0);
  GtkWidget* stack =
      NewSubroleBox(GTK_ORIENTATION_VERTICAL, 4, RevealText(Sealed::CaptionSubrole).c_str());
  gtk_box_pack_end(GTK_BOX(layout), stack, TRUE, TRUE, 0);

  auto player = std::make_unique<CaptionPlayer>(stack, options);
  for (const auto& sentence : transcript)
    player->Queue(sentence);
  player->SetLoopSource(transcript);
  if (options.transcript == "-") {
    const auto input = quensary::GObjectRef<GInputStream>::Adopt(g_unix_input_stream_new(0, FALSE));
    ReadNextLine(
        quensary::GObjectRef<GDataInputStream>::Adopt(g_data_input_stream_new(input.get())),
        player.get());
  }
  g_timeout_add(
      static_cast<guint>(options.word_ms),
      [](gpointer data) -> gboolean {
        static_cast<CaptionPlayer*>(data)->Tick();
        return G_SOURCE_CONTINUE;
      },
      player.get());

  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}
