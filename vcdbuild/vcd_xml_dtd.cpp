#include "vcd_xml_dtd.h"

#include "videocd_xml.h"

#include <libxml/parserInternals.h>
#include <libxml/xmlIO.h>

#include <algorithm>
#include <cstring>

namespace {

// The hook of this thread's running parse; the loader only serves contexts that point to it.
thread_local CVcdXmlDtd* t_active = nullptr;

struct CharEntity {
    const char* name;
    int code;
};

constexpr CharEntity kCharEntities[] = {
    {"iexcl", 161},  {"cent", 162},   {"pound", 163},  {"yen", 165},    {"ordf", 170},
    {"deg", 176},    {"plusmn", 177}, {"sup2", 178},   {"micro", 181},  {"ordm", 186},
    {"frac14", 188}, {"frac12", 189}, {"iquest", 191}, {"Auml", 196},   {"Aring", 197},
    {"AElig", 198},  {"Ccedil", 199}, {"Eacute", 201}, {"Ntilde", 209}, {"Ouml", 214},
    {"Uuml", 220},   {"szlig", 223},  {"aacute", 225}, {"acirc", 226},  {"agrave", 224},
    {"auml", 228},   {"aring", 229},  {"aelig", 230},  {"ccedil", 231}, {"egrave", 232},
    {"eacute", 233}, {"ecirc", 234},  {"euml", 235},   {"igrave", 236}, {"iacute", 237},
    {"icirc", 238},  {"iuml", 239},   {"ntilde", 241}, {"ograve", 242}, {"oacute", 243},
    {"ocirc", 244},  {"ouml", 246},   {"divide", 247}, {"ugrave", 249}, {"uacute", 250},
    {"ucirc", 251},  {"uuml", 252},   {"yuml", 255},
};
static_assert(sizeof kCharEntities / sizeof kCharEntities[0] == 48);

constexpr const char kDeclarations[] =
    "<!ENTITY % URI \"CDATA\">\n"
    "<!ENTITY % XY \"CDATA\">\n"
    "<!ENTITY % itemattrs \"id ID #REQUIRED src %URI; #REQUIRED\">\n"
    "<!ENTITY % pbcattrs \"id ID #REQUIRED rejected (true|false) 'false'\">\n"
    "<!ENTITY % ofsattrs \"ref IDREF #IMPLIED x1 %XY; #IMPLIED y1 %XY; #IMPLIED"
    " x2 %XY; #IMPLIED y2 %XY; #IMPLIED\">\n"
    "\n"
    "<!ELEMENT videocd (option*, info, pvd, filesystem?, segment-items?, sequence-items,"
    " pbc?)>\n"
    "<!ATTLIST videocd\n"
    "  class CDATA #REQUIRED\n"
    "  version CDATA #REQUIRED\n"
    "  xmlns %URI; #FIXED '@NS@'>\n"
    "\n"
    "<!ELEMENT option EMPTY>\n"
    "<!ATTLIST option\n"
    "  name CDATA #REQUIRED\n"
    "  value CDATA #IMPLIED>\n"
    "\n"
    "<!ELEMENT info (album-id?, volume-count?, volume-number?, next-volume-use-sequence2?,"
    " next-volume-use-lid2?, restriction?, start-time-offset*)>\n"
    "<!ELEMENT album-id (#PCDATA)>\n"
    "<!ELEMENT volume-count (#PCDATA)>\n"
    "<!ELEMENT volume-number (#PCDATA)>\n"
    "<!ELEMENT restriction (#PCDATA)>\n"
    "<!ELEMENT start-time-offset (#PCDATA)>\n"
    "<!ELEMENT next-volume-use-sequence2 EMPTY>\n"
    "<!ELEMENT next-volume-use-lid2 EMPTY>\n"
    "\n"
    "<!ELEMENT pvd (volume-id?, system-id?, application-id?, preparer-id?, publisher-id?)>\n"
    "<!ELEMENT volume-id (#PCDATA)>\n"
    "<!ELEMENT system-id (#PCDATA)>\n"
    "<!ELEMENT application-id (#PCDATA)>\n"
    "<!ELEMENT preparer-id (#PCDATA)>\n"
    "<!ELEMENT publisher-id (#PCDATA)>\n"
    "\n"
    "<!ELEMENT filesystem (folder*, file*)>\n"
    "<!ELEMENT folder (name, folder*, file*)>\n"
    "<!ELEMENT file (name?)>\n"
    "<!ATTLIST file\n"
    "  src %URI; #REQUIRED\n"
    "  format (form1|mixed) \"form1\">\n"
    "<!ELEMENT name (#PCDATA)>\n"
    "\n"
    "<!ELEMENT segment-items (segment-item+)>\n"
    "<!ELEMENT segment-item (auto-pause*)>\n"
    "<!ATTLIST segment-item %itemattrs;>\n"
    "\n"
    "<!ELEMENT sequence-items (sequence-item+)>\n"
    "<!ELEMENT sequence-item (default-entry?, entry*, auto-pause*)>\n"
    "<!ATTLIST sequence-item\n"
    "  src %URI; #REQUIRED\n"
    "  id ID #IMPLIED>\n"
    "<!ELEMENT default-entry EMPTY>\n"
    "<!ATTLIST default-entry id ID #REQUIRED>\n"
    "<!ELEMENT entry (#PCDATA)>\n"
    "<!ATTLIST entry id ID #IMPLIED>\n"
    "<!ELEMENT auto-pause (#PCDATA)>\n"
    "\n"
    "<!ELEMENT pbc (selection|playlist|endlist)+>\n"
    "<!ELEMENT selection (bsn?, prev?, next?, return?, (multi-default|default)?, timeout?,"
    " wait?, loop?, play-item?, select*)>\n"
    "<!ATTLIST selection %pbcattrs;>\n"
    "<!ELEMENT playlist (prev?, next?, return?, playtime?, wait?, autowait?, play-item+)>\n"
    "<!ATTLIST playlist %pbcattrs;>\n"
    "<!ELEMENT endlist (next-volume?, play-item?)>\n"
    "<!ATTLIST endlist %pbcattrs;>\n"
    "\n"
    "<!ELEMENT wait (#PCDATA)>\n"
    "<!ELEMENT autowait (#PCDATA)>\n"
    "<!ELEMENT playtime (#PCDATA)>\n"
    "<!ELEMENT loop (#PCDATA)>\n"
    "<!ATTLIST loop jump-timing (immediate|delayed) 'immediate'>\n"
    "<!ELEMENT bsn (#PCDATA)>\n"
    "<!ELEMENT next-volume (#PCDATA)>\n"
    "\n"
    "<!ELEMENT prev EMPTY>\n"
    "<!ATTLIST prev %ofsattrs;>\n"
    "<!ELEMENT next EMPTY>\n"
    "<!ATTLIST next %ofsattrs;>\n"
    "<!ELEMENT return EMPTY>\n"
    "<!ATTLIST return %ofsattrs;>\n"
    "<!ELEMENT default EMPTY>\n"
    "<!ATTLIST default %ofsattrs;>\n"
    "<!ELEMENT select EMPTY>\n"
    "<!ATTLIST select %ofsattrs;>\n"
    "\n"
    "<!ELEMENT multi-default EMPTY>\n"
    "<!ATTLIST multi-default numeric (enabled|disabled) 'enabled'>\n"
    "\n"
    "<!ELEMENT timeout EMPTY>\n"
    "<!ATTLIST timeout ref IDREF #IMPLIED>\n"
    "<!ELEMENT play-item EMPTY>\n"
    "<!ATTLIST play-item ref IDREF #IMPLIED>\n";

// Serves the DTD text to a libxml2 input buffer, which decodes it as Latin-1.
struct TextReader {
    const char* data;
    std::size_t left;

    static int Read(void* context, char* buffer, int length) {
        auto* self = static_cast<TextReader*>(context);
        const std::size_t n = length < 0 ? 0 : std::min(self->left, std::size_t(length));
        std::memcpy(buffer, self->data, n);
        self->data += n;
        self->left -= n;
        return static_cast<int>(n);
    }
    static int Close(void* context) {
        delete static_cast<TextReader*>(context);
        return 0;
    }
};

std::string BuildText() {
    std::string text =
        "<!-- VideoCD XML 1.0: the project format read by the Pellam image builder.\n"
        "     Namespace:         ";
    text += VIDEOCD_XML_NAMESPACE;
    text += "\n     Public identifier: ";
    text += VIDEOCD_DTD_PUBLIC_ID;
    text += "\n     System identifier: ";
    text += VIDEOCD_DTD_SYSTEM_ID;
    text += "\n-->\n\n";
    for (const CharEntity& e : kCharEntities) {
        text += "<!ENTITY ";
        text += e.name;
        text += " \"&#";
        text += std::to_string(e.code);
        text += ";\">\n";
    }
    text += "\n";
    std::string declarations = kDeclarations;
    const std::string marker = "@NS@";
    declarations.replace(declarations.find(marker), marker.size(), VIDEOCD_XML_NAMESPACE);
    text += declarations;
    return text;
}

} // namespace

CVcdXmlDtd::CVcdXmlDtd(CVcdLog& log_) : log(log_), previousActive_(t_active) {
    previousKeepBlanks_ = xmlKeepBlanksDefault(0);
    previousLoader_ = xmlGetExternalEntityLoader();
    xmlSetExternalEntityLoader(&CVcdXmlDtd::Load);
    t_active = this;
}

CVcdXmlDtd::~CVcdXmlDtd() {
    t_active = previousActive_;
    xmlSetExternalEntityLoader(previousLoader_);
    xmlKeepBlanksDefault(previousKeepBlanks_);
}

const std::string& CVcdXmlDtd::Text() {
    static const std::string text = BuildText();
    return text;
}

bool CVcdXmlDtd::Serves(const xmlParserCtxt* ctxt) const {
    return ctxt != nullptr && ctxt->_private == this;
}

xmlParserInputPtr CVcdXmlDtd::Load(const char* systemId, const char* publicId,
                                   xmlParserCtxtPtr ctxt) {
    CVcdXmlDtd* self = t_active;
    if (self == nullptr || !self->Serves(ctxt)) return nullptr;

    self->log.Debug("EEL sysid=[%s] pubid=[%s]", systemId ? systemId : "NULL",
                    publicId ? publicId : "NULL");
    const bool ours = (publicId && std::strcmp(publicId, VIDEOCD_DTD_PUBLIC_ID) == 0) ||
                      (systemId && std::strcmp(systemId, VIDEOCD_DTD_SYSTEM_ID) == 0);
    if (!ours) {
        // Handing this to libxml2's own loader would let a document pull in local files or
        // network resources through external entities.
        self->log.Error("external entity refused: sysid=[%s] pubid=[%s]",
                        systemId ? systemId : "NULL", publicId ? publicId : "NULL");
        self->refused = true;
        return nullptr;
    }

    // The encoding belongs to the DTD's own buffer: passing it to the input stream instead would
    // switch the encoding of the document being parsed.
    auto* reader = new TextReader{Text().data(), Text().size()};
    xmlParserInputBufferPtr buffer = xmlParserInputBufferCreateIO(
        &TextReader::Read, &TextReader::Close, reader, XML_CHAR_ENCODING_8859_1);
    if (buffer == nullptr) {
        delete reader;
        return nullptr;
    }
    xmlParserInputPtr input = xmlNewIOInputStream(ctxt, buffer, XML_CHAR_ENCODING_NONE);
    if (input == nullptr) xmlFreeParserInputBuffer(buffer);
    return input;
}
