#pragma once

#include "platform/glib/key_file_preferences.h"
#include "platform/glib/live_captions_stream.h"
#include "platform/glib/secret_service_keys.h"

namespace quensary {

// The sealed names the platform adapters work under, revealed for whoever makes them: the
// adapters sit below the literal vault and are handed what they need.
KeyFilePreferences::FileNames SettingsFileNames();
LiveCaptionsStream::BusNames LiveCaptionsBusNames();
SecretServiceKeys::Names EngineKeyNames();

}  // namespace quensary
