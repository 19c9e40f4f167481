#include "protocol/page_calls.h"

#include <nlohmann/json.hpp>

#include "protocol/page_words.h"
#include "support/literal_vault.h"

namespace quensary {
namespace {

std::string Call(Page page, std::string_view function, std::string_view argument) {
  std::string call = page == Page::kMain ? "    " : "";
  call.append(function).append("(").append(argument).append(")");
  return call;
}

std::string AsciiJson(const nlohmann::json& value) {
  return value.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
}

// The display settings both pages start with.
nlohmann::json DisplaySettings(const SettingsStore& s) {
  return {
      {StorageKey(Setting::kShowOriginal), s.ShowOriginal()},
      {StorageKey(Setting::kShowTranslation), s.ShowTranslation()},
      {StorageKey(Setting::kOverlayFontSize), s.OverlayFontSize()},
      {StorageKey(Setting::kOverlayOpacity), s.OverlayOpacity()},
      {StorageKey(Setting::kOverlayTextColour), s.OverlayTextColour()},
      {StorageKey(Setting::kOverlayLinesShown), s.OverlayLinesShown()},
      {StorageKey(Setting::kMainWindowOnTop), s.MainWindowOnTop()},
  };
}

nlohmann::json RowJson(const SettingRow& row) {
  nlohmann::json json = {{"key", RevealText(row.sealed_key)}};
  switch (row.kind) {
    case SettingKind::kBool:
      json["kind"] = "bool";
      json["default"] = row.bool_default;
      break;
    case SettingKind::kInt:
      json["kind"] = "int";
      json["default"] = row.int_default;
      json["min"] = row.int_min;
      json["max"] = row.int_max;
      break;
    case SettingKind::kText:
      json["kind"] = "text";
      json["default"] =
          row.sealed_text_default ? RevealText(row.sealed_text_default) : std::string();
      break;
  }
  return json;
}

}  // namespace

std::string InitCall(Page page, std::string_view init_json) {
  return Call(page, "Init", init_json);
}

std::string JuziCall(Page page, std::string_view lines_json) {
  return Call(page, "Juzi", lines_json);
}

std::string MainPageInitJson(const SettingsStore& settings, std::string_view version) {
  nlohmann::json init = DisplaySettings(settings);
  init[StorageKey(Setting::kTargetLanguage)] = settings.TargetLanguage();
  // What the user gave the engines (addresses, models; never keys), as an object.
  const auto options = nlohmann::json::parse(settings.EngineOptions(), nullptr, false);
  init[StorageKey(Setting::kEngineOptions)] =
      options.is_object() ? options : nlohmann::json::object();
  init[StorageKey(Setting::kContextSentences)] = settings.EngineContextSentences();
  init[StorageKey(Setting::kTranscriptSideBySide)] = settings.TranscriptSideBySide();
  init[WordOf(SettingCommand::kSelectEngine)] = settings.SelectedEngineId();
  init[WordOf(InitMember::kAppVersion)] = std::string(version);
  return AsciiJson(init);
}

std::string OverlayPageInitJson(const SettingsStore& settings, std::string_view engine_name) {
  nlohmann::json init = DisplaySettings(settings);
  init[WordOf(InitMember::kCurrentEngineName)] = std::string(engine_name);
  return AsciiJson(init);
}

std::string PageProtocolScript() {
  nlohmann::json settings = nlohmann::json::object();
  for (const SettingRow& row : AllSettings())
    settings[row.page_name] = RowJson(row);
  const nlohmann::json protocol = {
      {"settings", settings},
      {"handlers",
       {{"pageReady", WordOf(PageHandler::kPageReady)},
        {"startCapture", WordOf(PageHandler::kStartCapture)},
        {"setSetting", WordOf(PageHandler::kSetSetting)},
        {"lineCommand", WordOf(PageHandler::kLineCommand)},
        {"openLink", WordOf(PageHandler::kOpenLink)},
        {"windowButton", WordOf(PageHandler::kWindowButton)},
        {"windowCommand", WordOf(PageHandler::kWindowCommand)},
        {"contentHeight", WordOf(PageHandler::kContentHeight)}}},
      {"settingCommands",
       {{"openAddress", WordOf(SettingCommand::kOpenAddress)},
        {"selectEngine", WordOf(SettingCommand::kSelectEngine)},
        {"saveKey", WordOf(SettingCommand::kSaveKey)},
        {"forgetKey", WordOf(SettingCommand::kForgetKey)},
        {"checkEngine", WordOf(SettingCommand::kCheckEngine)}}},
      {"lineCommands",
       {{"deleteLine", WordOf(LineCommand::kDeleteLine)},
        {"translateAgain", WordOf(LineCommand::kRetranslate)},
        {"copyLines", WordOf(LineCommand::kCopyLines)},
        {"transcriptPage", WordOf(LineCommand::kTranscriptPage)},
        {"transcriptSessions", WordOf(LineCommand::kTranscriptSessions)},
        {"transcriptSearch", WordOf(LineCommand::kTranscriptSearch)},
        {"saveTranscript", WordOf(LineCommand::kSaveTranscript)},
        {"deleteSession", WordOf(LineCommand::kDeleteSession)}}},
      {"linkCommands", {{"openUrl", WordOf(LinkCommand::kOpenUrl)}}},
      {"windowCommands",
       {{"dragOn", WordOf(WindowCommand::kDragOn)},
        {"dragOff", WordOf(WindowCommand::kDragOff)},
        {"zoomToggle", WordOf(WindowCommand::kZoomToggle)}}},
      {"initMembers",
       {{"appVersion", WordOf(InitMember::kAppVersion)},
        {"currentEngineName", WordOf(InitMember::kCurrentEngineName)}}},
      {"windowButtons",
       {{"minimize", static_cast<int>(WindowButton::kMinimize)},
        {"zoom", static_cast<int>(WindowButton::kZoom)},
        {"quit", static_cast<int>(WindowButton::kQuit)}}},
      {"copyModes",
       {{"original", static_cast<int>(CopyMode::kOriginal)},
        {"translation", static_cast<int>(CopyMode::kTranslation)},
        {"both", static_cast<int>(CopyMode::kBoth)}}},
      {"captionSourceModes",
       {{"automatic", WordOf(CaptionSourceMode::kAutomatic)},
        {"accessibility", WordOf(CaptionSourceMode::kAccessibility)},
        {"stream", WordOf(CaptionSourceMode::kStream)}}},
      {"overlayShownLines", kShownLines},
  };
  // A frozen global that each page reads before its own scripts run.
  return "// Made by the program: the words and defaults the pages share with it.\n"
         "window.QuensaryProtocol = JSON.parse(" +
         AsciiJson(AsciiJson(protocol)) +
         ");\n(function freeze(o) {\n"
         "  Object.values(o).forEach(v => v && typeof v === 'object' && freeze(v));\n"
         "  Object.freeze(o);\n"
         "})(window.QuensaryProtocol);\n";
}

}  // namespace quensary
