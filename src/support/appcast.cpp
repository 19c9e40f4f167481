#include "support/appcast.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <charconv>
#include <memory>
#include <vector>

#include "support/valid_utf8.h"

namespace quensary::Appcast {
namespace {

constexpr char kSparkle[] = "http://www.andymatuschak.org/xml-namespaces/sparkle";

struct DocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using Doc = std::unique_ptr<xmlDoc, DocFree>;
struct ParserFree {
  void operator()(xmlParserCtxt* parser) const { xmlFreeParserCtxt(parser); }
};
using Parser = std::unique_ptr<xmlParserCtxt, ParserFree>;
struct XmlFree {
  void operator()(xmlChar* text) const { xmlFree(text); }
};
using XmlText = std::unique_ptr<xmlChar, XmlFree>;

std::string Text(xmlChar* raw) {
  const XmlText text(raw);
  return text ? reinterpret_cast<const char*>(text.get()) : "";
}

bool Named(const xmlNode* node, const char* name, const char* ns = nullptr) {
  if (node->type != XML_ELEMENT_NODE || xmlStrcmp(node->name, BAD_CAST name) != 0)
    return false;
  return ns ? node->ns && xmlStrcmp(node->ns->href, BAD_CAST ns) == 0 : !node->ns;
}

const xmlNode* Child(const xmlNode* parent, const char* name, const char* ns = nullptr) {
  for (const xmlNode* node = parent->children; node; node = node->next)
    if (Named(node, name, ns))
      return node;
  return nullptr;
}

std::optional<std::vector<uint64_t>> Parts(std::string_view version) {
  std::vector<uint64_t> parts;
  while (true) {
    const size_t dot = version.find('.');
    const std::string_view part = version.substr(0, dot);
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
    if (part.empty() || error != std::errc() || end != part.data() + part.size())
      return std::nullopt;
    parts.push_back(value);
    if (dot == std::string_view::npos)
      return parts;
    version.remove_prefix(dot + 1);
  }
}

// The text of release notes that may hold markup, as text only.
std::string PlainText(const std::string& notes) {
  const Doc doc(htmlReadMemory(notes.data(), static_cast<int>(notes.size()), nullptr, "UTF-8",
                               HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET));
  const xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
  return root ? Text(xmlNodeGetContent(root)) : notes;
}

std::string HttpsOrEmpty(std::string address) {
  return address.rfind("https://", 0) == 0 ? address : std::string();
}

std::string CappedNotes(std::string notes, bool* cut) {
  *cut = notes.size() > kMaxNotesBytes;
  if (*cut)
    notes = std::string(Utf8Head(notes, kMaxNotesBytes)) + "\u2026";
  return notes;
}

// Stops the parser at a document type declaration, before its internal subset is read: a feed
// never needs one, and its entities are how a small feed expands into gigabytes.
void RefuseDoctype(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
  auto* parser = static_cast<xmlParserCtxt*>(context);
  *static_cast<bool*>(parser->_private) = true;
  xmlStopParser(parser);
}

// The feed's document, or null with the reason in `why`.
Doc ParseFeed(std::string_view xml, std::string* why) {
  if (xml.size() > kMaxFeedBytes) {
    *why = "the feed is larger than 1 MiB";
    return nullptr;
  }
  const Parser parser(xmlNewParserCtxt());
  if (!parser) {
    *why = "no memory for the parser";
    return nullptr;
  }
  bool doctype = false;
  parser->_private = &doctype;
  parser->sax->internalSubset = RefuseDoctype;
  // No network, no external entities: the feed comes from the network itself.
  Doc doc(xmlCtxtReadMemory(parser.get(), xml.data(), static_cast<int>(xml.size()), nullptr,
                            nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  if (doctype) {
    *why = "the feed declares a document type";
    return nullptr;
  }
  if (!doc)
    *why = "not an RSS feed";
  return doc;
}

// The offer of one item, or absent with the reason it cannot be offered.
std::optional<Offer> ReadItem(const xmlNode* item, std::string* why) {
  const xmlNode* enclosure = Child(item, "enclosure");
  Offer offer;
  if (const xmlNode* version = Child(item, "version", kSparkle))
    offer.version = Text(xmlNodeGetContent(version));
  else if (enclosure)
    offer.version = Text(xmlGetNsProp(enclosure, BAD_CAST "version", BAD_CAST kSparkle));
  if (!Parts(offer.version)) {
    *why = "an item without a well-formed version";
    return std::nullopt;
  }
  if (const xmlNode* link = Child(item, "link"))
    offer.link = HttpsOrEmpty(Text(xmlNodeGetContent(link)));
  if (offer.link.empty() && enclosure)
    offer.link = HttpsOrEmpty(Text(xmlGetProp(enclosure, BAD_CAST "url")));
  if (offer.link.empty()) {
    *why = "an item without an https link";
    return std::nullopt;
  }
  if (const xmlNode* description = Child(item, "description"))
    offer.notes = CappedNotes(PlainText(Text(xmlNodeGetContent(description))), &offer.notes_cut);
  if (const xmlNode* notes_link = Child(item, "releaseNotesLink", kSparkle))
    offer.notes_link = HttpsOrEmpty(Text(xmlNodeGetContent(notes_link)));
  if (offer.notes_link.empty())
    offer.notes_link = offer.link;
  return offer;
}

}  // namespace

std::optional<int> CompareVersions(std::string_view a, std::string_view b) {
  const auto left = Parts(a);
  const auto right = Parts(b);
  if (!left || !right)
    return std::nullopt;
  for (size_t i = 0; i < std::max(left->size(), right->size()); ++i) {
    const uint64_t x = i < left->size() ? (*left)[i] : 0;
    const uint64_t y = i < right->size() ? (*right)[i] : 0;
    if (x != y)
      return x < y ? -1 : 1;
  }
  return 0;
}

std::optional<Offer> Read(std::string_view xml, std::string* why) {
  const Doc doc = ParseFeed(xml, why);
  const xmlNode* rss = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
  const xmlNode* channel = rss && Named(rss, "rss") ? Child(rss, "channel") : nullptr;
  if (!channel) {
    if (doc)
      *why = "not an RSS feed";
    return std::nullopt;
  }
  // One odd item (a pre-release version, a link of another kind) never hides a good one.
  std::optional<Offer> newest;
  std::string skipped = "a feed without items";
  for (const xmlNode* item = channel->children; item; item = item->next) {
    if (!Named(item, "item"))
      continue;
    auto offer = ReadItem(item, &skipped);
    if (offer && (!newest || CompareVersions(offer->version, newest->version) > 0))
      newest = std::move(offer);
  }
  if (!newest)
    *why = skipped;
  return newest;
}

}  // namespace quensary::Appcast
