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
//                         [--report] [--dbus-stream] [--stream-width N] [--stream-lines N]
//                         [--rewrite-every N]
//
// --report prints every change of the bottom row on standard output, as the wall-clock time in
// milliseconds, a space and the row's text, so that measurements can tell when a text appeared.
//
// --dbus-stream also publishes the captions on the session bus the way LiveCaptions' text stream
// does, so that readers of that stream have a provider to read: the name net.sapples.LiveCaptions,
// the object /net/sapples/LiveCaptions/External with the interface
// net.sapples.LiveCaptions.External (a read-only Boolean TextStreamActive, always true, and the
// signal TextStream(s)). On every change the signal carries what a LiveCaptions display shows: all
// the speech so far wrapped at --stream-width characters (default 42), of which only the last
// --stream-lines lines (default 2) are sent, separated by line feeds. The top line scrolls away as
// speech goes on, so a sentence may begin before the text does. If the name is taken the demo goes
// on without it.
//
// --rewrite-every N shows every Nth word misheard (in capitals) first and corrects it on the next
// tick, as a recogniser rewrites its last word.

#include <gio/gunixinputstream.h>
#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
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
  bool report = false;
  bool dbus_stream = false;
  int stream_width = 42;
  int stream_lines = 2;
  int rewrite_every = 0;
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
    } else if (arg == "--report") {
      options.report = true;
    } else if (arg == "--dbus-stream") {
      options.dbus_stream = true;
    } else if (arg == "--stream-width") {
      ok = number(options.stream_width) && options.stream_width > 0;
    } else if (arg == "--stream-lines") {
      ok = number(options.stream_lines) && options.stream_lines > 0;
    } else if (arg == "--rewrite-every") {
      ok = number(options.rewrite_every) && options.rewrite_every >= 0;
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

// What a LiveCaptions display shows: the speech wrapped at a width, of which the last few lines
// are on screen. A word goes at the end of the last line or, when it does not fit, starts a line
// (a longer word gets a line of its own); the top line then scrolls away.
class StreamDisplay {
 public:
  StreamDisplay(size_t width, size_t lines) : width_(width), lines_shown_(lines) {}

  void AddWord(const std::string& word) {
    if (!lines_.empty() && Chars(lines_.back()) + 1 + Chars(word) <= width_) {
      lines_.back() += ' ' + word;
      return;
    }
    lines_.push_back(word);
    // One line more than is shown, so that a rewritten word can move back up.
    if (lines_.size() > lines_shown_ + 1)
      lines_.pop_front();
  }

  // Takes the last word off and adds its rewrite, which may land on another line.
  void ReplaceLastWord(const std::string& word) {
    const size_t space = lines_.back().rfind(' ');
    if (space == std::string::npos)
      lines_.pop_back();
    else
      lines_.back().resize(space);
    AddWord(word);
  }

  std::string Text() const {
    std::string text;
    const size_t first = lines_.size() > lines_shown_ ? lines_.size() - lines_shown_ : 0;
    for (size_t i = first; i < lines_.size(); ++i)
      text += (i > first ? "\n" : "") + lines_[i];
    return text;
  }

 private:
  static size_t Chars(const std::string& text) { return g_utf8_strlen(text.c_str(), -1); }

  const size_t width_;
  const size_t lines_shown_;
  std::deque<std::string> lines_;
};

// Owns net.sapples.LiveCaptions on the session bus and sends the caption text as LiveCaptions'
// text stream does. Sending starts once the name is ours; without the name nothing is sent.
class TextStream {
 public:
  TextStream()
      : node_(g_dbus_node_info_new_for_xml(kIntrospection, nullptr)),
        owner_id_(g_bus_own_name(G_BUS_TYPE_SESSION, kBusName, G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE,
                                 BusAcquired, NameAcquired, NameLost, this, nullptr)) {}
  ~TextStream() {
    Unregister();
    g_bus_unown_name(owner_id_);
  }
  TextStream(const TextStream&) = delete;
  TextStream& operator=(const TextStream&) = delete;

  void Send(const std::string& text) const {
    if (!owned_)
      return;
    const quensary::GCharPtr valid(g_utf8_make_valid(text.c_str(), -1));
    g_dbus_connection_emit_signal(connection_.get(), nullptr, kObjectPath, kInterface, "TextStream",
                                  g_variant_new("(s)", valid.get()), nullptr);
  }

 private:
  static constexpr const char* kBusName = "net.sapples.LiveCaptions";
  static constexpr const char* kObjectPath = "/net/sapples/LiveCaptions/External";
  static constexpr const char* kInterface = "net.sapples.LiveCaptions.External";
  static constexpr const char* kIntrospection =
      "<node><interface name='net.sapples.LiveCaptions.External'>"
      "<property name='TextStreamActive' type='b' access='read'/>"
      "<signal name='TextStream'><arg name='text' type='s'/></signal>"
      "</interface></node>";

  static void BusAcquired(GDBusConnection* connection, const char*, gpointer data) {
    auto* self = static_cast<TextStream*>(data);
    static const GDBusInterfaceVTable vtable = {
        nullptr,
        [](GDBusConnection*, const char*, const char*, const char*, const char*, GError**,
           gpointer) -> GVariant* { return g_variant_new_boolean(TRUE); },
        nullptr,
        {}};
    GError* raw_error = nullptr;
    self->registration_id_ = g_dbus_connection_register_object(
        connection, kObjectPath, self->node_->interfaces[0], &vtable, nullptr, nullptr, &raw_error);
    if (const quensary::GErrorPtr error{raw_error}) {
      std::fprintf(stderr, "quensary-caption-demo: cannot export %s: %s\n", kObjectPath,
                   error->message);
      return;
    }
    self->connection_ = quensary::GObjectRef<GDBusConnection>::Share(connection);
  }
  static void NameAcquired(GDBusConnection*, const char*, gpointer data) {
    auto* self = static_cast<TextStream*>(data);
    self->owned_ = self->registration_id_ != 0;
  }
  static void NameLost(GDBusConnection* connection, const char*, gpointer data) {
    auto* self = static_cast<TextStream*>(data);
    if (connection) {
      std::fprintf(stderr, "quensary-caption-demo: %s is taken; captions are not streamed\n",
                   kBusName);
    } else {
      std::fprintf(stderr, "quensary-caption-demo: no session bus to stream the captions on\n");
    }
    self->Unregister();
  }
  void Unregister() {
    owned_ = false;
    if (registration_id_ != 0)
      g_dbus_connection_unregister_object(connection_.get(), registration_id_);
    registration_id_ = 0;
  }

  const std::unique_ptr<GDBusNodeInfo, quensary::GLibFree<g_dbus_node_info_unref>> node_;
  const guint owner_id_;
  quensary::GObjectRef<GDBusConnection> connection_;
  guint registration_id_ = 0;
  bool owned_ = false;
};

// Plays sentences into the row stack, one word per tick.
class CaptionPlayer {
 public:
  CaptionPlayer(GtkWidget* stack, const Options& options) : stack_(stack), options_(options) {}

  // Called with the display's text after every word and every rewrite.
  void OnDisplayChanged(std::function<void(const std::string&)> listener) {
    display_changed_ = std::move(listener);
  }

  void Queue(const std::string& sentence) {
    if (!Words(sentence).empty())
      pending_.push_back(sentence);
  }
  void SetLoopSource(std::vector<std::string> sentences) { loop_source_ = std::move(sentences); }

  // One tick: the rewrite of a misheard word, the next word, or after a finished sentence and its
  // pause, a new row.
  void Tick() {
    if (!misheard_.empty()) {
      text_.resize(text_.size() - misheard_.size());
      text_ += words_[word_ - 1];
      display_.ReplaceLastWord(words_[word_ - 1]);
      misheard_.clear();
      Show();
      return;
    }
    if (word_ < words_.size()) {
      std::string word = words_[word_++];
      if (options_.rewrite_every > 0 && ++words_spoken_ % options_.rewrite_every == 0) {
        for (char& c : word)
          c = g_ascii_toupper(c);
        if (word != words_[word_ - 1])
          misheard_ = word;
      }
      text_ += (text_.empty() ? "" : " ") + word;
      display_.AddWord(word);
      Show();
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

  // The bottom row's text changed: show it, report it, stream it.
  void Show() {
    gtk_label_set_text(GTK_LABEL(rows_.back()), text_.c_str());
    if (options_.report) {
      std::printf("%.3f %s\n", static_cast<double>(g_get_real_time()) / 1000.0, text_.c_str());
      std::fflush(stdout);
    }
    if (display_changed_)
      display_changed_(display_.Text());
    paused_ms_ = 0;
  }

  GtkWidget* stack_;
  const Options& options_;
  std::deque<std::string> pending_;
  std::vector<std::string> loop_source_;
  std::deque<GtkWidget*> rows_;
  std::vector<std::string> words_;
  size_t word_ = 0;
  std::string text_;
  std::string misheard_;  // the bottom row's last word as shown, until it is rewritten
  int words_spoken_ = 0;
  int paused_ms_ = 0;
  StreamDisplay display_{static_cast<size_t>(options_.stream_width),
                         static_cast<size_t>(options_.stream_lines)};
  std::function<void(const std::string&)> display_changed_;
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
  std::unique_ptr<TextStream> stream;
  if (options.dbus_stream) {
    stream = std::make_unique<TextStream>();
    player->OnDisplayChanged(
        [stream = stream.get()](const std::string& text) { stream->Send(text); });
  }
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

  // End normally on SIGTERM, so that what main owns is released in order and the bus name is
  // given back rather than dropped with the connection.
  g_unix_signal_add(
      SIGTERM,
      [](gpointer) -> gboolean {
        gtk_main_quit();
        return G_SOURCE_REMOVE;
      },
      nullptr);

  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}
