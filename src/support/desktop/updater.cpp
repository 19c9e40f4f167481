#include "support/desktop/updater.h"

#include <libsoup/soup.h>

#include <cstdlib>
#include <memory>

#include "platform/diagnostics.h"
#include "platform/glib/glib_ptr.h"
#include "platform/glib/gobject_ref.h"
#include "support/desktop/tools.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary::Updater {
namespace {

// The type of the update window, by whose name Tools::RaiseUpdateWindows knows it.
G_DECLARE_FINAL_TYPE(QuensaryUpdateWindow, quensary_update_window, QUENSARY, UPDATE_WINDOW,
                     GtkWindow)
struct _QuensaryUpdateWindow {
  GtkWindow parent_instance;
};
G_DEFINE_FINAL_TYPE(QuensaryUpdateWindow, quensary_update_window, GTK_TYPE_WINDOW)
void quensary_update_window_init(QuensaryUpdateWindow*) {}
void quensary_update_window_class_init(QuensaryUpdateWindowClass*) {}

struct Check {
  std::string own_version;
  GObjectRef<SoupSession> session;
  GObjectRef<GCancellable> cancellable;
  GObjectRef<GInputStream> body_stream;
  std::string body;
};

constexpr gsize kReadChunkBytes = 64 * 1024;

void Fail(const std::string& why) {
  WriteDiagnostic("Update check: " + why);
}

void OfferIfNewer(const Check& check) {
  std::string why;
  const auto offer = Appcast::Read(check.body, &why);
  if (!offer) {
    Fail(why);
    return;
  }
  const auto newer = Appcast::CompareVersions(offer->version, check.own_version);
  if (!newer) {
    Fail("the program's own version cannot be compared");
    return;
  }
  if (*newer > 0)
    gtk_widget_show_all(NewUpdateWindow(*offer, check.own_version));
}

void ReadMore(std::unique_ptr<Check> check);

// Collects the body a chunk at a time and gives up past the feed's size limit, so a server that
// sends hundreds of megabytes costs no more memory than a feed.
void ChunkRead(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Check> check(static_cast<Check*>(data));
  GError* raw_error = nullptr;
  const GBytesPtr chunk(
      g_input_stream_read_bytes_finish(G_INPUT_STREAM(source), result, &raw_error));
  const GErrorPtr error(raw_error);
  if (!chunk) {
    Fail(error ? error->message : "the feed could not be read");
    return;
  }
  gsize size = 0;
  const auto* bytes = static_cast<const char*>(g_bytes_get_data(chunk.get(), &size));
  if (size == 0) {
    OfferIfNewer(*check);
    return;
  }
  if (check->body.size() + size > Appcast::kMaxFeedBytes) {
    g_cancellable_cancel(check->cancellable.get());
    Fail("the feed is larger than 1 MiB");
    return;
  }
  check->body.append(bytes, size);
  ReadMore(std::move(check));
}

void ReadMore(std::unique_ptr<Check> check) {
  GInputStream* stream = check->body_stream.get();
  GCancellable* cancellable = check->cancellable.get();
  g_input_stream_read_bytes_async(stream, kReadChunkBytes, G_PRIORITY_LOW, cancellable, ChunkRead,
                                  check.release());
}

void Sent(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Check> check(static_cast<Check*>(data));
  GError* raw_error = nullptr;
  check->body_stream = GObjectRef<GInputStream>::Adopt(
      soup_session_send_finish(SOUP_SESSION(source), result, &raw_error));
  const GErrorPtr error(raw_error);
  SoupMessage* message = soup_session_get_async_result_message(SOUP_SESSION(source), result);
  if (!check->body_stream || !message || soup_message_get_status(message) != SOUP_STATUS_OK) {
    Fail(error ? error->message : "the feed could not be fetched");
    return;
  }
  const goffset announced =
      soup_message_headers_get_content_length(soup_message_get_response_headers(message));
  if (announced > static_cast<goffset>(Appcast::kMaxFeedBytes)) {
    g_cancellable_cancel(check->cancellable.get());
    Fail("the feed is larger than 1 MiB");
    return;
  }
  ReadMore(std::move(check));
}

void Start(std::string own_version) {
  const char* override_address = std::getenv("QUENSARY_APPCAST_URL");
  const std::string address =
      override_address && *override_address ? override_address : RevealText(Sealed::AppcastAddress);
  auto check = std::make_unique<Check>();
  check->own_version = std::move(own_version);
  check->session = GObjectRef<SoupSession>::Adopt(
      soup_session_new_with_options("timeout", kTimeoutSeconds, nullptr));
  check->cancellable = GObjectRef<GCancellable>::Adopt(g_cancellable_new());
  const auto message = GObjectRef<SoupMessage>::Adopt(soup_message_new("GET", address.c_str()));
  if (!message) {
    Fail("the feed's address is not an address");
    return;
  }
  // A server that sends nothing at all, or sends slowly, is given up after the same time as a
  // silent one.
  g_timeout_add_seconds(
      kTimeoutSeconds,
      [](gpointer cancellable) -> gboolean {
        g_cancellable_cancel(G_CANCELLABLE(cancellable));
        return G_SOURCE_REMOVE;
      },
      g_object_ref(check->cancellable.get()));
  SoupSession* session = check->session.get();
  GCancellable* cancellable = check->cancellable.get();
  soup_session_send_async(session, message.get(), G_PRIORITY_LOW, cancellable, Sent,
                          check.release());
}

}  // namespace

void ScheduleCheck(std::string own_version) {
  g_timeout_add(
      kStartDelayMs,
      [](gpointer data) -> gboolean {
        const std::unique_ptr<std::string> version(static_cast<std::string*>(data));
        Start(std::move(*version));
        return G_SOURCE_REMOVE;
      },
      std::make_unique<std::string>(std::move(own_version)).release());
  g_timeout_add(
      kRaiseDelayMs,
      [](gpointer) -> gboolean {
        Tools::RaiseUpdateWindows();
        return G_SOURCE_REMOVE;
      },
      nullptr);
}

GtkWidget* NewUpdateWindow(const Appcast::Offer& offer, const std::string& own_version) {
  GtkWidget* window = GTK_WIDGET(
      g_object_new(quensary_update_window_get_type(), "type", GTK_WINDOW_TOPLEVEL, nullptr));
  gtk_widget_set_name(window, RevealText(Sealed::UpdateWindowIdentifier).c_str());
  gtk_window_set_title(GTK_WINDOW(window), "Quensary update");
  gtk_window_set_default_size(GTK_WINDOW(window), 480, 320);
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
  GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
  gtk_container_set_border_width(GTK_CONTAINER(column), 20);
  gtk_container_add(GTK_CONTAINER(window), column);

  GtkWidget* heading = gtk_label_new(nullptr);
  gtk_label_set_text(
      GTK_LABEL(heading),
      ("Quensary " + offer.version + " is available (you have " + own_version + ").").c_str());
  gtk_label_set_xalign(GTK_LABEL(heading), 0);
  gtk_box_pack_start(GTK_BOX(column), heading, FALSE, FALSE, 0);
  // The notes as plain text (a text buffer interprets no markup), in a view that lays out
  // only what it shows.
  GtkWidget* notes = gtk_text_view_new();
  gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(notes)), offer.notes.c_str(),
                           static_cast<gint>(offer.notes.size()));
  gtk_text_view_set_editable(GTK_TEXT_VIEW(notes), FALSE);
  gtk_text_view_set_cursor_visible(GTK_TEXT_VIEW(notes), FALSE);
  gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(notes), GTK_WRAP_WORD_CHAR);
  GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_NEVER,
                                 GTK_POLICY_AUTOMATIC);
  gtk_container_add(GTK_CONTAINER(scroller), notes);
  gtk_box_pack_start(GTK_BOX(column), scroller, TRUE, TRUE, 0);
  if (offer.notes_cut) {
    GtkWidget* whole =
        gtk_link_button_new_with_label(offer.notes_link.c_str(), "Read the full release notes");
    gtk_widget_set_halign(whole, GTK_ALIGN_START);
    // Through the program's own opener, which opens nothing but web and mail addresses.
    g_signal_connect(whole, "activate-link", G_CALLBACK(+[](GtkLinkButton* button, gpointer) {
                       Tools::OpenInBrowser(gtk_link_button_get_uri(button));
                       return TRUE;
                     }),
                     nullptr);
    gtk_box_pack_start(GTK_BOX(column), whole, FALSE, FALSE, 0);
  }

  GtkWidget* buttons = gtk_button_box_new(GTK_ORIENTATION_HORIZONTAL);
  gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_END);
  gtk_box_set_spacing(GTK_BOX(buttons), 8);
  GtkWidget* later = gtk_button_new_with_label("Not now");
  g_signal_connect_swapped(later, "clicked", G_CALLBACK(gtk_widget_destroy), window);
  GtkWidget* open = gtk_button_new_with_label("Open the download page");
  g_object_set_data_full(G_OBJECT(open), "link", g_strdup(offer.link.c_str()), g_free);
  g_signal_connect(
      open, "clicked", G_CALLBACK(+[](GtkButton* button, gpointer) {
        Tools::OpenInBrowser(static_cast<const char*>(g_object_get_data(G_OBJECT(button), "link")));
      }),
      nullptr);
  gtk_container_add(GTK_CONTAINER(buttons), later);
  gtk_container_add(GTK_CONTAINER(buttons), open);
  gtk_box_pack_end(GTK_BOX(column), buttons, FALSE, FALSE, 0);
  return window;
}

}  // namespace quensary::Updater
