#include "support/adapter_names.h"

#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {

KeyFilePreferences::FileNames SettingsFileNames() {
  return {RevealText(Sealed::SettingsGroup), RevealText(Sealed::SettingsFileName),
          RevealText(Sealed::DamagedSettingsSuffix)};
}

LiveCaptionsStream::BusNames LiveCaptionsBusNames() {
  return {RevealText(Sealed::LiveCaptionsBusName), RevealText(Sealed::LiveCaptionsObjectPath),
          RevealText(Sealed::LiveCaptionsInterface), RevealText(Sealed::LiveCaptionsSignal),
          RevealText(Sealed::LiveCaptionsActiveProperty)};
}

SecretServiceKeys::Names EngineKeyNames() {
  return {RevealText(Sealed::KeyServiceName), RevealText(Sealed::KeySchemaName),
          RevealText(Sealed::KeyAttributeName), RevealText(Sealed::KeyItemLabel)};
}

}  // namespace quensary
