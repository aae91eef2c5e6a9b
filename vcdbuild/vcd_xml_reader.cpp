#include "vcd_xml_reader.h"

#include "mpeg_source.h"
#include "string_helpers.h"
#include "vcd_project.h"
#include "vcd_stream.h"
#include "vcd_xml_dtd.h"
#include "videocd_xml.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/threads.h>
#include <libxml/xmlerror.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

// Folders nested deeper than this are refused; libxml2 stops far earlier on its own, but the
// tree pass must not depend on that.
constexpr int kMaxFolderDepth = 256;

const char* C(const xmlChar* s) {
    return reinterpret_cast<const char*>(s);
}
const xmlChar* X(const char* s) {
    return reinterpret_cast<const xmlChar*>(s);
}

bool Named(xmlNodePtr node, const char* name) {
    return std::strcmp(C(node->name), name) == 0;
}

bool EqualNoCase(const std::string& a, const char* b) {
    return StrCaseCompare(a, b) == 0;
}

std::optional<std::string> TextOrNull(std::string text) {
    if (text.empty()) return std::nullopt;
    return text;
}

// Leading white space and a plus sign are skipped, as strtol does.
const char* SkipLead(const char* p, const char* end) {
    while (p < end &&
           (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v'))
        ++p;
    if (p < end && *p == '+' && p + 1 < end && *(p + 1) != '-') ++p;
    return p;
}

// The value of the leading decimal number of `text`, clamped to 32 bits; `whole` says whether
// the number was all of the text and fitted.
std::int32_t LeadingInt(const std::string& text, bool* whole) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    const char* p = SkipLead(begin, end);
    long long value = 0;
    const auto [stop, ec] = std::from_chars(p, end, value, 10);
    if (ec == std::errc::invalid_argument) {
        *whole = false;
        return 0;
    }
    if (ec == std::errc::result_out_of_range) {
        *whole = false;
        return p < end && *p == '-' ? INT32_MIN : INT32_MAX;
    }
    *whole = stop == end && value >= INT32_MIN && value <= INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    if (value > INT32_MAX) return INT32_MAX;
    return static_cast<std::int32_t>(value);
}

// Like LeadingInt, independent of the C locale's decimal point. Values that are not finite
// count as bad text and give 0, so no infinity or NaN ever reaches the project.
double LeadingDouble(const std::string& text, bool* whole) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    const char* p = SkipLead(begin, end);
    double value = 0;
    const auto [stop, ec] = std::from_chars(p, end, value, std::chars_format::general);
    if (ec != std::errc() || !std::isfinite(value)) {
        *whole = false;
        return 0;
    }
    *whole = stop == end;
    return value;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Element readers

bool CVcdXmlReader::IsVcd(xmlNodePtr node) const {
    return node != nullptr && node->type == XML_ELEMENT_NODE && node->ns != nullptr &&
           node->ns->href != nullptr && xmlStrcmp(node->ns->href, X(VIDEOCD_XML_NAMESPACE)) == 0;
}

std::string CVcdXmlReader::GetText(const char* name, xmlNodePtr node) const {
    if (!IsVcd(node) || !Named(node, name)) return {};
    xmlChar* text = xmlNodeListGetString(node->doc, node->children, 1);
    if (text == nullptr) return {};
    std::string result = C(text);
    xmlFree(text);
    return result;
}

std::int32_t CVcdXmlReader::ParseInt(const std::string& text) const {
    bool whole = false;
    const std::int32_t value = LeadingInt(text, &whole);
    if (!whole) log.Warn("error while converting string to integer?");
    return value;
}

std::int32_t CVcdXmlReader::GetInt(const char* name, xmlNodePtr node) const {
    if (!IsVcd(node) || !Named(node, name)) return 0;
    const std::string text = GetText(name, node);
    if (text.empty()) {
        log.Warn("empty element [%s]??", name);
        return 0;
    }
    return ParseInt(text);
}

double CVcdXmlReader::GetDouble(const char* name, xmlNodePtr node) const {
    if (!IsVcd(node) || !Named(node, name)) return 0;
    const std::string text = GetText(name, node);
    if (text.empty()) {
        log.Warn("empty element [%s]??", name);
        return 0;
    }
    bool whole = false;
    const double value = LeadingDouble(text, &whole);
    if (!whole) log.Warn("error while converting string to floating point?");
    return value;
}

std::string CVcdXmlReader::GetAttr(xmlNodePtr node, const char* name) const {
    if (node == nullptr || node->type != XML_ELEMENT_NODE) return {};
    xmlChar* value = xmlGetProp(node, X(name));
    if (value == nullptr) return {};
    std::string result = C(value);
    xmlFree(value);
    return result;
}

std::int32_t CVcdXmlReader::GetAttrInt(xmlNodePtr node, const char* name) const {
    const std::string text = GetAttr(node, name);
    if (text.empty()) return 0;
    return ParseInt(text);
}

PbcArea CVcdXmlReader::GetArea(xmlNodePtr node) const {
    PbcArea area;
    area.x1 = static_cast<std::uint8_t>(GetAttrInt(node, "x1"));
    area.y1 = static_cast<std::uint8_t>(GetAttrInt(node, "y1"));
    area.x2 = static_cast<std::uint8_t>(GetAttrInt(node, "x2"));
    area.y2 = static_cast<std::uint8_t>(GetAttrInt(node, "y2"));
    for (const char* a : {"x1", "y1", "x2", "y2"})
        if (xmlHasProp(node, X(a)) != nullptr) area.present = true;
    return area;
}

// ---------------------------------------------------------------------------------------------
// Reading

int CVcdXmlReader::Read(const char* path) {
    if (desc == nullptr || path == nullptr || path[0] == '\0') return 1;

    errno = 0;
    // NONET: the document itself is never fetched from the network. No XML_PARSE_HUGE, so
    // libxml2's limits on depth and entity expansion stay in force.
    const int options = XML_PARSE_DTDVALID | XML_PARSE_PEDANTIC | XML_PARSE_NOENT |
                        XML_PARSE_NONET | XML_PARSE_NOBLANKS;
    xmlParserCtxtPtr ctxt = xmlCreateURLParserCtxt(path, options);
    // Only a file that could not be opened is reported with the system's text: during the parse
    // libxml2 probes paths on its own and leaves unrelated error numbers behind.
    const int error = ctxt == nullptr ? errno : 0;
    if (ctxt != nullptr) {
        ctxt->validate = 1;
        ctxt->pedantic = 1;
        ctxt->vctxt.error = xmlParserValidityError;
        ctxt->vctxt.warning = xmlParserValidityWarning;
        if (ctxt->directory == nullptr) {
            char* directory = xmlParserGetDirectory(path);
            if (directory != nullptr) ctxt->directory = directory;
        }
        {
            CVcdXmlDtd hook(log);
            ctxt->_private = &hook;
            xmlParseDocument(ctxt);
            ctxt->_private = nullptr;
            doc = ctxt->myDoc;
            ctxt->myDoc = nullptr;
            if (!ctxt->wellFormed || !ctxt->valid || hook.refused) {
                xmlFreeDoc(doc);
                doc = nullptr;
            }
        }
        xmlFreeParserCtxt(ctxt);
    }

    int result = 1;
    if (doc == nullptr) {
        if (error != 0)
            log.Error("error while parsing file `%s': %s", path, std::strerror(error));
        else
            log.Error("parsing file `%s' failed", path);
    } else {
        result = ReadDocument(doc);
    }

    xmlFreeDoc(doc);
    doc = nullptr;
    ns = nullptr;
    // On any other thread the clean-up deletes libxml2's per-thread state key and so leaks that
    // thread's state (and its error handler setting) with every read; the burner builds on a
    // worker thread, so the clean-up only runs when the read runs on the main thread.
    if (xmlIsMainThread()) xmlCleanupParser();
    return result;
}

int CVcdXmlReader::ReadDocument(xmlDocPtr document) {
    if (desc == nullptr || document == nullptr) return 1;
    doc = document;
    xmlNodePtr root = xmlDocGetRootElement(doc);
    if (root == nullptr) {
        log.Error("XML document seems to be empty (no root node found)");
        return 1;
    }
    ns = xmlSearchNsByHref(doc, root, X(VIDEOCD_XML_NAMESPACE));
    if (ns == nullptr) {
        log.Error("Namespace not found in document");
        return 1;
    }
    if (!IsVcd(root) || !Named(root, "videocd")) {
        log.Error("root element not videocd...");
        return 1;
    }
    if (ParseTree(root) != 0) {
        log.Error("parsing tree failed");
        return 1;
    }
    return 0;
}

int CVcdXmlReader::ParseTree(xmlNodePtr root) {
    struct TypeName {
        const char* cls;
        const char* version;
        std::int32_t type;
    };
    static constexpr TypeName kTypes[] = {
        {"vcd", "1.0", VCD_TYPE_VCD10},   {"vcd", "1.1", VCD_TYPE_VCD11},
        {"vcd", "2.0", VCD_TYPE_VCD20},   {"svcd", "1.0", VCD_TYPE_SVCD},
        {"hqvcd", "1.0", VCD_TYPE_HQVCD},
    };
    const std::string cls = GetAttr(root, "class");
    const std::string version = GetAttr(root, "version");
    desc->vcdType = VCD_TYPE_INVALID;
    for (const TypeName& t : kTypes)
        if (EqualNoCase(cls, t.cls) && EqualNoCase(version, t.version)) desc->vcdType = t.type;
    if (desc->vcdType == VCD_TYPE_INVALID) return 1;

    for (xmlNodePtr child = root->children; child != nullptr; child = child->next) {
        if (!IsVcd(child)) continue;
        int rc = 0;
        if (Named(child, "meta")) continue;
        if (Named(child, "option")) {
            desc->options.push_back({GetAttr(child, "name"), GetAttr(child, "value")});
        } else if (Named(child, "info")) {
            ParseInfo(child);
        } else if (Named(child, "pvd")) {
            ParsePvd(child);
        } else if (Named(child, "segment-items")) {
            ParseSegments(child);
        } else if (Named(child, "sequence-items")) {
            ParseSequences(child);
        } else if (Named(child, "filesystem")) {
            rc = ParseFilesystem(child);
        } else if (Named(child, "pbc")) {
            ParsePbc(child);
        } else {
            log.Warn("unexpected element: %s", C(child->name));
        }
        if (rc != 0) return rc;
    }
    return 0;
}

void CVcdXmlReader::ParseInfo(xmlNodePtr node) {
    for (xmlNodePtr c = node->children; c != nullptr; c = c->next) {
        if (!IsVcd(c)) continue;
        if (Named(c, "album-id"))
            desc->albumId = TextOrNull(GetText("album-id", c));
        else if (Named(c, "volume-count"))
            desc->volumeCount = GetInt("volume-count", c);
        else if (Named(c, "volume-number"))
            desc->volumeNumber = GetInt("volume-number", c);
        else if (Named(c, "restriction"))
            desc->restriction = GetInt("restriction", c);
        else if (Named(c, "next-volume-use-sequence2"))
            desc->nextVolumeUseSequence2 = true;
        else if (Named(c, "next-volume-use-lid2"))
            desc->nextVolumeUseLid2 = true;
    }
}

void CVcdXmlReader::ParsePvd(xmlNodePtr node) {
    struct Field {
        const char* name;
        std::optional<std::string> VcdProjectDesc::*field;
    };
    static constexpr Field kFields[] = {
        {"volume-id", &VcdProjectDesc::volumeId},
        {"system-id", &VcdProjectDesc::systemId},
        {"application-id", &VcdProjectDesc::applicationId},
        {"preparer-id", &VcdProjectDesc::preparerId},
        {"publisher-id", &VcdProjectDesc::publisherId},
    };
    for (xmlNodePtr c = node->children; c != nullptr; c = c->next) {
        if (!IsVcd(c)) continue;
        for (const Field& f : kFields)
            if (Named(c, f.name)) desc->*f.field = TextOrNull(GetText(f.name, c));
    }
}

void CVcdXmlReader::ParseSegments(xmlNodePtr node) {
    for (xmlNodePtr item = node->children; item != nullptr; item = item->next) {
        if (!IsVcd(item) || !Named(item, "segment-item")) continue;
        VcdSegmentDesc segment;
        segment.id = GetAttr(item, "id");
        segment.src = GetAttr(item, "src");
        for (xmlNodePtr c = item->children; c != nullptr; c = c->next)
            if (IsVcd(c) && Named(c, "auto-pause"))
                segment.autoPauses.push_back(GetDouble("auto-pause", c));
        desc->segmentItems.push_back(std::move(segment));
    }
}

void CVcdXmlReader::ParseSequences(xmlNodePtr node) {
    for (xmlNodePtr item = node->children; item != nullptr; item = item->next) {
        if (!IsVcd(item) || !Named(item, "sequence-item")) continue;
        VcdSequenceDesc sequence;
        sequence.id = GetAttr(item, "id");
        sequence.src = GetAttr(item, "src");
        for (xmlNodePtr c = item->children; c != nullptr; c = c->next) {
            if (!IsVcd(c)) continue;
            if (Named(c, "default-entry")) {
                std::string id = GetAttr(c, "id");
                if (!id.empty()) sequence.defaultEntryId = std::move(id);
            } else if (Named(c, "entry")) {
                VcdEntryDesc entry;
                entry.id = TextOrNull(GetAttr(c, "id"));
                entry.time = GetDouble("entry", c);
                sequence.entries.push_back(std::move(entry));
            } else if (Named(c, "auto-pause")) {
                sequence.autoPauses.push_back(GetDouble("auto-pause", c));
            }
        }
        desc->sequenceItems.push_back(std::move(sequence));
    }
}

int CVcdXmlReader::ParseFilesystem(xmlNodePtr node) {
    for (xmlNodePtr c = node->children; c != nullptr; c = c->next) {
        if (!IsVcd(c)) continue;
        int rc = 0;
        if (Named(c, "folder"))
            rc = ParseFolder(c, "", 1);
        else if (Named(c, "file"))
            rc = ParseFile(c, "");
        if (rc != 0) return rc;
    }
    return 0;
}

int CVcdXmlReader::ParseFolder(xmlNodePtr node, const std::string& prefix, int depth) {
    if (depth > kMaxFolderDepth) return 1;
    std::string path;
    for (xmlNodePtr c = node->children; c != nullptr; c = c->next) {
        if (!IsVcd(c)) continue;
        int rc = 0;
        if (Named(c, "name")) {
            path = prefix + GetText("name", c);
            desc->fsEntries.push_back({path, std::nullopt, false});
        } else if (Named(c, "folder")) {
            rc = ParseFolder(c, path + "/", depth + 1);
        } else if (Named(c, "file")) {
            rc = ParseFile(c, path + "/");
        }
        if (rc != 0 || path.empty()) return 1;
    }
    return 0;
}

int CVcdXmlReader::ParseFile(xmlNodePtr node, const std::string& prefix) {
    const std::string src = GetAttr(node, "src");
    if (src.empty()) return 1;
    const std::string format = GetAttr(node, "format");
    std::string name;
    for (xmlNodePtr c = node->children; c != nullptr; c = c->next)
        if (IsVcd(c) && Named(c, "name")) name = GetText("name", c);
    if (name.empty()) {
        std::size_t cut = src.rfind('/');
        if (cut == std::string::npos) cut = src.rfind('\\');
        name = cut == std::string::npos ? src : src.substr(cut + 1);
    }
    desc->fsEntries.push_back({prefix + name, src, EqualNoCase(format, "mixed")});
    return 0;
}

void CVcdXmlReader::ParsePbc(xmlNodePtr node) {
    for (xmlNodePtr c = node->children; c != nullptr; c = c->next) {
        if (!IsVcd(c)) continue;
        std::unique_ptr<CPbc> pbc;
        if (Named(c, "selection"))
            pbc = ParseSelection(c);
        else if (Named(c, "playlist"))
            pbc = ParsePlaylist(c);
        else if (Named(c, "endlist"))
            pbc = ParseEndlist(c);
        if (!pbc) continue;
        pbc->id = GetAttr(c, "id");
        pbc->rejected = EqualNoCase(GetAttr(c, "rejected"), "true");
        desc->pbcLists.push_back(std::move(pbc));
    }
}

std::unique_ptr<CPbc> CVcdXmlReader::ParseSelection(xmlNodePtr node) {
    auto select = std::make_unique<CPbcSelect>();
    select->bsn = 1;
    select->loopCount = 1;
    for (xmlNodePtr c = node->children; c != nullptr; c = c->next) {
        if (!IsVcd(c)) continue;
        if (Named(c, "bsn")) {
            select->bsn = GetInt("bsn", c);
        } else if (Named(c, "prev")) {
            select->prevId = GetAttr(c, "ref");
            select->prevArea = GetArea(c);
        } else if (Named(c, "next")) {
            select->nextId = GetAttr(c, "ref");
            select->nextArea = GetArea(c);
        } else if (Named(c, "return")) {
            select->returnId = GetAttr(c, "ref");
            select->returnArea = GetArea(c);
        } else if (Named(c, "timeout")) {
            select->timeoutId = GetAttr(c, "ref");
        } else if (Named(c, "multi-default")) {
            select->defaultKind = EqualNoCase(GetAttr(c, "numeric"), "disabled")
                                      ? PBC_DEFAULT_MULTI_NO_NUMERIC
                                      : PBC_DEFAULT_MULTI;
        } else if (Named(c, "default")) {
            select->defaultKind = PBC_DEFAULT_NORMAL;
            select->defaultId = GetAttr(c, "ref");
        } else if (Named(c, "wait")) {
            select->waitTime = GetInt("wait", c);
        } else if (Named(c, "loop")) {
            select->loopCount = GetInt("loop", c);
            select->jumpDelayed = EqualNoCase(GetAttr(c, "jump-timing"), "delayed");
        } else if (Named(c, "play-item")) {
            select->itemId = GetAttr(c, "ref");
        } else if (Named(c, "select")) {
            select->selectIds.push_back(GetAttr(c, "ref"));
            select->selectAreas.push_back(GetArea(c));
        }
    }
    return select;
}

std::unique_ptr<CPbc> CVcdXmlReader::ParsePlaylist(xmlNodePtr node) {
    auto play = std::make_unique<CPbcPlay>();
    for (xmlNodePtr c = node->children; c != nullptr; c = c->next) {
        if (!IsVcd(c)) continue;
        if (Named(c, "prev"))
            play->prevId = GetAttr(c, "ref");
        else if (Named(c, "next"))
            play->nextId = GetAttr(c, "ref");
        else if (Named(c, "return"))
            play->returnId = GetAttr(c, "ref");
        else if (Named(c, "wait"))
            play->waitTime = GetInt("wait", c);
        else if (Named(c, "autowait"))
            play->autoPauseWaitTime = GetInt("autowait", c);
        else if (Named(c, "playtime"))
            play->playingTime = GetDouble("playtime", c);
        else if (Named(c, "play-item"))
            play->itemIds.push_back(GetAttr(c, "ref"));
    }
    return play;
}

std::unique_ptr<CPbc> CVcdXmlReader::ParseEndlist(xmlNodePtr node) {
    auto end = std::make_unique<CPbcEnd>();
    for (xmlNodePtr c = node->children; c != nullptr; c = c->next) {
        if (!IsVcd(c)) continue;
        if (Named(c, "next-volume"))
            end->nextDisc = GetInt("next-volume", c);
        else if (Named(c, "play-item"))
            end->imageId = GetAttr(c, "ref");
    }
    return end;
}

// ---------------------------------------------------------------------------------------------
// Transfer into the project

namespace {

const char* OrNull(const std::optional<std::string>& text) {
    return text ? text->c_str() : nullptr;
}

const char* OrNull(const std::string& text) {
    return text.empty() ? nullptr : text.c_str();
}

enum OptionKind { OPTION_BOOL, OPTION_INT };

struct OptionName {
    const char* name;
    OptionKind kind;
    VcdParam key;
};

constexpr OptionName kOptions[] = {
    {"svcd vcd30 mpegav", OPTION_BOOL, VCD_PARAM_VCD30_MPEGAV_FOLDER},
    {"svcd vcd30 entrysvd", OPTION_BOOL, VCD_PARAM_VCD30_ENTRY_SVD},
    {"svcd vcd30 tracksvd", OPTION_BOOL, VCD_PARAM_VCD30_TRACK_SVD},
    {"relaxed aps", OPTION_BOOL, VCD_PARAM_RELAXED_APS},
    {"update scan offsets", OPTION_BOOL, VCD_PARAM_UPDATE_SCAN_OFFSETS},
    {"leadout pause", OPTION_BOOL, VCD_PARAM_LEADOUT_PAUSE},
    {"track pregap", OPTION_INT, VCD_PARAM_TRACK_PREGAP},
    {"track front margin", OPTION_INT, VCD_PARAM_TRACK_FRONT_MARGIN},
    {"track rear margin", OPTION_INT, VCD_PARAM_TRACK_REAR_MARGIN},
};

// The option's integer: a decimal number that fits 32 bits (negative ones wrap, as the project
// compares unsigned), else 0 with the warning.
std::uint32_t OptionInt(CVcdLog& log, const std::string& value) {
    if (value.empty()) return 0;
    const char* end = value.data() + value.size();
    long long number = 0;
    const auto [stop, ec] = std::from_chars(SkipLead(value.data(), end), end, number, 10);
    if (ec != std::errc() || stop != end || number < INT32_MIN || number > UINT32_MAX) {
        log.Warn("error while converting string '%s' to integer", value.c_str());
        return 0;
    }
    return static_cast<std::uint32_t>(number);
}

} // namespace

int ApplyOptions(VcdProjectDesc& desc, CVcdObj& project, VcdScanOptions* scan) {
    CVcdLog& log = project.log;
    if (desc.albumId) project.SetParam(VCD_PARAM_ALBUM_ID, desc.albumId->c_str());
    project.SetParam(VCD_PARAM_VOLUME_NUMBER, static_cast<std::uint32_t>(desc.volumeNumber));
    project.SetParam(VCD_PARAM_VOLUME_COUNT, static_cast<std::uint32_t>(desc.volumeCount));
    project.SetParam(VCD_PARAM_RESTRICTION, static_cast<std::uint32_t>(desc.restriction));
    project.SetParam(VCD_PARAM_NEXT_VOLUME_SEQUENCE2, desc.nextVolumeUseSequence2 ? 1u : 0u);
    project.SetParam(VCD_PARAM_NEXT_VOLUME_LID2, desc.nextVolumeUseLid2 ? 1u : 0u);
    if (desc.volumeId) project.SetParam(VCD_PARAM_VOLUME_LABEL, desc.volumeId->c_str());
    if (desc.publisherId) project.SetParam(VCD_PARAM_PUBLISHER_ID, desc.publisherId->c_str());
    if (desc.applicationId) project.SetParam(VCD_PARAM_APPLICATION_ID, desc.applicationId->c_str());

    for (const VcdOptionDesc& option : desc.options) {
        const OptionName* known = nullptr;
        for (const OptionName& o : kOptions)
            if (EqualNoCase(option.name, o.name)) known = &o;
        if (known == nullptr) {
            log.Warn("unknown option name '%s'", option.name.c_str());
            continue;
        }
        std::uint32_t value = 0;
        if (known->kind == OPTION_BOOL) {
            if (EqualNoCase(option.value, "true")) {
                value = 1;
            } else if (!EqualNoCase(option.value, "false")) {
                log.Warn("option value '%s' invalid (use 'true' or 'false')", option.value.c_str());
                continue;
            }
            if (scan && known->key == VCD_PARAM_UPDATE_SCAN_OFFSETS)
                scan->updateScanOffsets = value != 0;
            if (scan && known->key == VCD_PARAM_RELAXED_APS) scan->relaxedAps = value != 0;
        } else {
            value = OptionInt(log, option.value);
        }
        project.SetParam(known->key, value);
    }
    return 0;
}

int AddPbcLists(VcdProjectDesc& desc, CVcdObj& project) {
    for (std::unique_ptr<CPbc>& pbc : desc.pbcLists) {
        if (!pbc) continue;
        const char* kind = pbc->type == PBC_PLAY     ? "PlayList"
                           : pbc->type == PBC_SELECT ? "SelectionList"
                           : pbc->type == PBC_END    ? "EndList"
                                                     : "Invalid PBC type";
        project.log.Info("adding pbc '%s' (%s)", kind, pbc->id.c_str());
        if (project.AddPbc(pbc) != 0) return 1;
    }
    return 0;
}

int AddFiles(VcdProjectDesc& desc, CVcdObj& project) {
    for (const VcdFsEntryDesc& entry : desc.fsEntries) {
        if (!entry.src) {
            if (project.AddDirectory(entry.path.c_str()) != 0) return 1;
            continue;
        }
        auto stream =
            std::make_unique<CVcdStream>(project.log, entry.src->c_str(), VCD_STREAM_READ);
        if (stream->GetSize() < 0) return 1;
        if (project.AddFile(entry.path.c_str(), stream, entry.mixed) != 0) return 1;
    }
    return 0;
}

int AddSegments(VcdProjectDesc& desc, CVcdObj& project, bool updateScanOffsets, bool relaxedAps) {
    int number = 0;
    for (const VcdSegmentDesc& item : desc.segmentItems) {
        auto source = std::make_unique<CVcdMpegSource>(project.log, item.src.c_str());
        if (source->GetSize() < 0) return 1;
        project.log.Info("scanning segment #%d, %s", number++, item.src.c_str());
        if (source->Scan(!relaxedAps, updateScanOffsets, item.id.c_str()) != 0) return 1;
        if (project.AddSegment(source, OrNull(item.id)) != 0) return 1;
        for (double time : item.autoPauses)
            if (project.AddSegmentPause(OrNull(item.id), time, nullptr) != 0) return 1;
    }
    return 0;
}

int AddSequences(VcdProjectDesc& desc, CVcdObj& project, bool updateScanOffsets, bool relaxedAps) {
    project.log.Debug("sequence count %d", static_cast<int>(desc.sequenceItems.size()));
    int number = 0;
    for (const VcdSequenceDesc& item : desc.sequenceItems) {
        auto source = std::make_unique<CVcdMpegSource>(project.log, item.src.c_str());
        if (source->GetSize() < 0) return 1;
        project.log.Info("scanning sequence #%d, %s", number++, item.src.c_str());
        if (source->Scan(!relaxedAps, updateScanOffsets, item.id.c_str()) != 0) return 1;
        if (project.AddSequence(source, OrNull(item.id), OrNull(item.defaultEntryId)) < 0) return 1;
        // A sequence without id is the one added last.
        for (const VcdEntryDesc& entry : item.entries)
            if (project.AddEntry(OrNull(item.id), entry.time, OrNull(entry.id)) != 0) return 1;
        for (double time : item.autoPauses)
            if (project.AddSequencePause(OrNull(item.id), time, nullptr) != 0) return 1;
    }
    return 0;
}
