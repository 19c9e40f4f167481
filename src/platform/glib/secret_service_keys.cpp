#include "platform/glib/secret_service_keys.h"

#include <libsecret/secret.h>

#include <map>
#include <vector>

#include "platform/glib/glib_ptr.h"
#include "platform/glib/gobject_ref.h"

namespace quensary {

struct SecretServiceKeys::State {
  Names names;
  SecretSchema schema{};
  GObjectRef<SecretService> service;
  bool opening = false;
  Keeping keeping = Keeping::kUnknown;
  // Keys kept for the session (all of them without a service) and keys already read.
  std::map<std::string, std::string> known;
  // What waits for the service to open: each is told whether there is one.
  std::vector<std::function<void(bool)>> waiting;
};

namespace {

using State = SecretServiceKeys::State;
using Keeping = KeyStore::Keeping;

// A cancellable that cancels itself after the answer time: a service that hangs (say, behind a
// prompt nobody answers) must not hold a request for ever.
GObjectRef<GCancellable> TimedCancellable() {
  auto cancellable = GObjectRef<GCancellable>::Adopt(g_cancellable_new());
  g_timeout_add_seconds_full(
      G_PRIORITY_DEFAULT, SecretServiceKeys::kAnswerTimeSeconds,
      [](gpointer data) {
        g_cancellable_cancel(G_CANCELLABLE(data));
        return G_SOURCE_REMOVE;
      },
      g_object_ref(cancellable.get()), g_object_unref);
  return cancellable;
}

// The callback data of one libsecret call: the state and what to do with the result.
template <typename Then>
struct Call {
  std::shared_ptr<State> state;
  Then then;
};

template <typename Then>
gpointer NewCall(const std::shared_ptr<State>& state, Then then) {
  // Adopted again by TakeCall in the callback, which libsecret always calls.
  return std::make_unique<Call<Then>>(Call<Then>{state, std::move(then)}).release();
}

template <typename Then>
std::unique_ptr<Call<Then>> TakeCall(gpointer data) {
  return std::unique_ptr<Call<Then>>(static_cast<Call<Then>*>(data));
}

using GHashTablePtr = std::unique_ptr<GHashTable, GLibFree<g_hash_table_unref>>;

GHashTablePtr Attributes(const State& state, const std::string& engine_id) {
  GHashTablePtr attributes(g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_free));
  g_hash_table_insert(attributes.get(), g_strdup(state.names.attribute.c_str()),
                      g_strdup(engine_id.c_str()));
  return attributes;
}

void ServiceOpened(const std::shared_ptr<State>& state, SecretService* opened) {
  state->opening = false;
  if (opened)
    state->service = GObjectRef<SecretService>::Adopt(opened);
  state->keeping = opened ? Keeping::kLasting : Keeping::kSessionOnly;
  auto waiting = std::move(state->waiting);
  state->waiting.clear();
  for (auto& then : waiting)
    then(opened != nullptr);
}

void OpenService(const std::shared_ptr<State>& state) {
  using Then = int;
  secret_service_open(
      SECRET_TYPE_SERVICE, state->names.service.c_str(), SECRET_SERVICE_OPEN_SESSION,
      TimedCancellable().get(),
      [](GObject*, GAsyncResult* result, gpointer data) {
        const auto call = TakeCall<Then>(data);
        GError* raw_error = nullptr;
        SecretService* opened = secret_service_open_finish(result, &raw_error);
        const GErrorPtr error(raw_error);
        ServiceOpened(call->state, opened);
      },
      NewCall(state, Then{}));
}

// Whether the session bus has the Secret Service, running or ready to be started; libsecret
// itself would not tell a missing service from a present one before the first store.
// Asked once per process, each question bounded to a second.
bool BusHasService(const std::string& name) {
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (!bus)
    return false;
  const auto held = GObjectRef<GDBusConnection>::Adopt(bus);
  const auto ask = [&](const char* method, GVariant* arguments, const char* type) {
    return GVariantPtr(g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method,
        arguments, G_VARIANT_TYPE(type), G_DBUS_CALL_FLAGS_NONE, 1000, nullptr, nullptr));
  };
  if (const auto owned = ask("NameHasOwner", g_variant_new("(s)", name.c_str()), "(b)")) {
    gboolean has_owner = FALSE;
    g_variant_get(owned.get(), "(b)", &has_owner);
    if (has_owner)
      return true;
  }
  const auto startable = ask("ListActivatableNames", nullptr, "(as)");
  if (!startable)
    return false;
  gchar** raw_names = nullptr;
  g_variant_get(startable.get(), "(^as)", &raw_names);
  const GStrvPtr names(raw_names);
  return names && g_strv_contains(names.get(), name.c_str());
}

void WithService(const std::shared_ptr<State>& state, std::function<void(bool)> then) {
  if (state->service || state->keeping == Keeping::kSessionOnly) {
    then(bool(state->service));
    return;
  }
  state->waiting.push_back(std::move(then));
  if (state->opening)
    return;
  state->opening = true;
  if (BusHasService(state->names.service))
    OpenService(state);
  else
    ServiceOpened(state, nullptr);
}

}  // namespace

SecretServiceKeys::SecretServiceKeys(Names names) : state_(std::make_shared<State>()) {
  state_->names = std::move(names);
  state_->schema.name = state_->names.schema.c_str();
  state_->schema.flags = SECRET_SCHEMA_NONE;
  state_->schema.attributes[0] = {state_->names.attribute.c_str(), SECRET_SCHEMA_ATTRIBUTE_STRING};
  state_->schema.attributes[1] = {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING};
}

SecretServiceKeys::~SecretServiceKeys() = default;

KeyStore::Keeping SecretServiceKeys::KeepsKeys() const {
  return state_->keeping;
}

void SecretServiceKeys::Save(const std::string& engine_id, const std::string& key,
                             std::function<void()> done) {
  state_->known[engine_id] = key;
  WithService(state_, [state = state_, engine_id, key, done = std::move(done)](bool service) {
    if (!service) {
      done();
      return;
    }
    using Then = std::function<void()>;
    const auto value = std::unique_ptr<SecretValue, GLibFree<secret_value_unref>>(
        secret_value_new(key.c_str(), -1, "text/plain"));
    const std::string label = state->names.label + engine_id;
    secret_service_store(
        state->service.get(), &state->schema, Attributes(*state, engine_id).get(),
        SECRET_COLLECTION_DEFAULT, label.c_str(), value.get(), TimedCancellable().get(),
        [](GObject* source, GAsyncResult* result, gpointer data) {
          const auto call = TakeCall<Then>(data);
          GError* raw_error = nullptr;
          // Not stored (no default collection, a refused prompt): kept for the session only.
          if (!secret_service_store_finish(SECRET_SERVICE(source), result, &raw_error))
            call->state->keeping = Keeping::kSessionOnly;
          const GErrorPtr error(raw_error);
          call->then();
        },
        NewCall(state, Then(done)));
  });
}

void SecretServiceKeys::Lookup(const std::string& engine_id,
                               std::function<void(std::optional<std::string>)> done) {
  if (const auto found = state_->known.find(engine_id); found != state_->known.end()) {
    done(found->second);
    return;
  }
  WithService(state_, [state = state_, engine_id, done = std::move(done)](bool service) {
    if (!service) {
      done(std::nullopt);
      return;
    }
    struct Then {
      std::string engine_id;
      std::function<void(std::optional<std::string>)> done;
    };
    secret_service_lookup(
        state->service.get(), &state->schema, Attributes(*state, engine_id).get(),
        TimedCancellable().get(),
        [](GObject* source, GAsyncResult* result, gpointer data) {
          const auto call = TakeCall<Then>(data);
          GError* raw_error = nullptr;
          const std::unique_ptr<SecretValue, GLibFree<secret_value_unref>> value(
              secret_service_lookup_finish(SECRET_SERVICE(source), result, &raw_error));
          const GErrorPtr error(raw_error);
          const char* text = value ? secret_value_get_text(value.get()) : nullptr;
          if (!text) {
            call->then.done(std::nullopt);
            return;
          }
          call->state->known[call->then.engine_id] = text;
          call->then.done(std::string(text));
        },
        NewCall(state, Then{engine_id, done}));
  });
}

void SecretServiceKeys::Forget(const std::string& engine_id, std::function<void()> done) {
  state_->known.erase(engine_id);
  WithService(state_, [state = state_, engine_id, done = std::move(done)](bool service) {
    if (!service) {
      done();
      return;
    }
    using Then = std::function<void()>;
    secret_service_clear(
        state->service.get(), &state->schema, Attributes(*state, engine_id).get(),
        TimedCancellable().get(),
        [](GObject* source, GAsyncResult* result, gpointer data) {
          const auto call = TakeCall<Then>(data);
          GError* raw_error = nullptr;
          secret_service_clear_finish(SECRET_SERVICE(source), result, &raw_error);
          const GErrorPtr error(raw_error);
          call->then();
        },
        NewCall(state, Then(done)));
  });
}

}  // namespace quensary
