#include "image_files.h"
#include "log_capture.h"
#include "vcd_project.h"
#include "vcd_xml_dtd.h"
#include "vcd_xml_reader.h"
#include "videocd_xml.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>

#include <climits>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace {

const std::string kDoctype = std::string("<!DOCTYPE videocd PUBLIC \"") + VIDEOCD_DTD_PUBLIC_ID +
                             "\" \"" + VIDEOCD_DTD_SYSTEM_ID + "\">";
const std::string kSequences =
    "<sequence-items><sequence-item src=\"a.mpg\" id=\"seq-0\"/></sequence-items>";

// The parts of a document in the order the DTD wants them.
struct Parts {
    std::string options, info, pvd, filesystem, segments, sequences = kSequences, pbc;
    std::string cls = "vcd", version = "2.0";
    std::string doctype = kDoctype;
};

std::string Doc(const Parts& p) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + p.doctype + "\n<videocd xmlns=\"" +
           VIDEOCD_XML_NAMESPACE + "\" class=\"" + p.cls + "\" version=\"" + p.version + "\">\n" +
           p.options + "<info>" + p.info + "</info>\n<pvd>" + p.pvd + "</pvd>\n" + p.filesystem +
           p.segments + p.sequences + p.pbc + "\n</videocd>\n";
}

Parts WithInfo(const std::string& info) {
    Parts p;
    p.info = info;
    return p;
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A build log in window mode, so libxml2's diagnostics come out as recorded error lines too.
class XmlReaderTest : public ::testing::Test {
  protected:
    RecordingWindow window;
    std::unique_ptr<CVcdBuildLog> log = std::make_unique<CVcdBuildLog>(
        &window, platform::RegisterWindowMessage("xml-reader-test"), 1, false);
    imgtest::TempDir dir;
    VcdProjectDesc desc;
    std::string path = dir.File("vcd.xml");

    int Read(const std::string& text) {
        WriteText(path, text);
        CVcdXmlReader reader(*log, &desc);
        return reader.Read(path.c_str());
    }

    int Count(int level, const std::string& part) const {
        int n = 0;
        for (const auto& l : window.lines)
            if ((level == 0 || l.level == level) && l.text.find(part) != std::string::npos) ++n;
        return n;
    }
    bool Has(int level, const std::string& part) const { return Count(level, part) > 0; }
    std::string Dump() const {
        std::string all;
        for (const auto& l : window.lines)
            all += std::to_string(l.level) + ": " + l.text;
        return all;
    }
};

TEST_F(XmlReaderTest, RejectedDocuments) {
    Parts noDoctype;
    noDoctype.doctype = "";
    Parts badType;
    badType.version = "3.0";
    Parts otherNs;
    otherNs.info = "<album-id>x</album-id>";
    Parts nameless;
    nameless.filesystem = "<filesystem><folder><name></name></folder></filesystem>";
    Parts missingInfo = WithInfo("");
    std::string deep;
    for (int i = 0; i < 300; ++i)
        deep += "<folder><name>A</name>";
    for (int i = 0; i < 300; ++i)
        deep += "</folder>";
    Parts deepFolders;
    deepFolders.filesystem = "<filesystem>" + deep + "</filesystem>";

    std::string wrongNs = Doc(otherNs);
    const std::string xmlns = std::string("xmlns=\"") + VIDEOCD_XML_NAMESPACE + "\"";
    wrongNs.replace(wrongNs.find(xmlns), xmlns.size(), "xmlns=\"urn:other\"");
    std::string noInfo = Doc(missingInfo);
    noInfo.erase(noInfo.find("<info></info>"), std::strlen("<info></info>"));
    std::string unclosed = Doc(Parts());
    unclosed.erase(unclosed.rfind("</videocd>"));

    const std::string failed = "parsing file `" + path + "' failed";
    struct Case {
        const char* label;
        std::string text;
        std::string error;
        bool libxmlLines; // libxml2 reported why
    } cases[] = {
        {"no DOCTYPE", Doc(noDoctype), failed, true},
        {"not well-formed", unclosed, failed, true},
        {"DTD violation: no info", noInfo, failed, true},
        {"fixed xmlns changed", wrongNs, failed, true},
        {"too deep for libxml2", Doc(deepFolders), failed, true},
        {"vcd 3.0", Doc(badType), "parsing tree failed", false},
        {"folder with empty name", Doc(nameless), "parsing tree failed", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        window.lines.clear();
        desc.fsEntries.clear();
        EXPECT_EQ(Read(c.text), 1);
        EXPECT_EQ(Count(VCD_LOG_ERROR, c.error), 1) << Dump();
        // Besides our own line, libxml2's diagnostics arrive as error lines.
        EXPECT_EQ(Count(VCD_LOG_ERROR, "") > 1, c.libxmlLines) << Dump();
    }
}

TEST_F(XmlReaderTest, MissingFileGivesTheSystemText) {
    const std::string missing = dir.File("nothere.xml");
    CVcdXmlReader reader(*log, &desc);
    EXPECT_EQ(reader.Read(missing.c_str()), 1);
    EXPECT_TRUE(
        Has(VCD_LOG_ERROR, "error while parsing file `" + missing + "': No such file or directory"))
        << Dump();
    EXPECT_EQ(reader.Read(nullptr), 1);
    EXPECT_EQ(reader.Read(""), 1);
    CVcdXmlReader noDesc(*log, nullptr);
    WriteText(path, Doc(Parts()));
    EXPECT_EQ(noDesc.Read(path.c_str()), 1);
}

TEST_F(XmlReaderTest, DoctypeIdentifiersLeadToTheBuiltInDtdOnly) {
    // A file the parser would find for the relative system id: reading it would make every
    // document invalid, since it gives videocd no content.
    WriteText(dir.File("other.dtd"), "<!ELEMENT videocd EMPTY>\n");
    const std::string publicId = VIDEOCD_DTD_PUBLIC_ID;
    const std::string systemId = VIDEOCD_DTD_SYSTEM_ID;
    struct Case {
        std::string doctype;
        int result;
        std::string eel;
    } cases[] = {
        {"<!DOCTYPE videocd PUBLIC \"" + publicId + "\" \"other.dtd\">", 0,
         "EEL sysid=[" + dir.File("other.dtd") + "] pubid=[" + publicId + "]"},
        {"<!DOCTYPE videocd SYSTEM \"" + systemId + "\">", 0,
         "EEL sysid=[" + systemId + "] pubid=[NULL]"},
        {"<!DOCTYPE videocd SYSTEM \"other.dtd\">", 1, "external entity refused"},
        {"<!DOCTYPE videocd PUBLIC \"-//Orvanta//DTD VIDEOCD//EN\" \"other.dtd\">", 1,
         "external entity refused"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.doctype);
        window.lines.clear();
        Parts p;
        p.doctype = c.doctype;
        EXPECT_EQ(Read(Doc(p)), c.result) << Dump();
        EXPECT_TRUE(Has(0, c.eel)) << Dump();
    }
}

TEST_F(XmlReaderTest, ExternalEntitiesAreNeverRead) {
    const std::string secret = dir.File("secret.txt");
    WriteText(secret, "TOPSECRET");
    const std::string subsets[] = {
        "[<!ENTITY s SYSTEM \"file://" + secret + "\">]",
        "[<!ENTITY s SYSTEM \"secret.txt\">]",
        "[<!ENTITY % p SYSTEM \"secret.txt\"> %p;]",
    };
    for (const std::string& subset : subsets) {
        SCOPED_TRACE(subset);
        window.lines.clear();
        Parts p = WithInfo("<album-id>&s;</album-id>");
        p.doctype = kDoctype.substr(0, kDoctype.size() - 1) + " " + subset + ">";
        if (subset.find("%p") != std::string::npos) p.info = "";
        EXPECT_EQ(Read(Doc(p)), 1);
        EXPECT_TRUE(Has(VCD_LOG_ERROR, "external entity refused")) << Dump();
        EXPECT_FALSE(Has(0, "TOPSECRET")) << Dump();
        EXPECT_FALSE(desc.albumId.has_value());
    }
}

TEST_F(XmlReaderTest, EntityExpansionBombFails) {
    std::string subset = "[<!ENTITY l0 \"lollollollollollollollollollol\">";
    for (int i = 1; i <= 9; ++i) {
        subset += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k)
            subset += "&l" + std::to_string(i - 1) + ";";
        subset += "\">";
    }
    subset += "]";
    Parts p = WithInfo("<album-id>&l9;</album-id>");
    p.doctype = kDoctype.substr(0, kDoctype.size() - 1) + " " + subset + ">";
    EXPECT_EQ(Read(Doc(p)), 1);
    EXPECT_FALSE(desc.albumId.has_value());
}

TEST_F(XmlReaderTest, ClassAndVersionGiveTheType) {
    struct Case {
        const char* cls;
        const char* version;
        std::int32_t type;
    } cases[] = {{"vcd", "1.0", 1},
                 {"VCD", "1.1", 2},
                 {"VCD", "2.0", 3},
                 {"svcd", "1.0", 4},
                 {"HqVcd", "1.0", 5}};
    for (const Case& c : cases) {
        Parts p;
        p.cls = c.cls;
        p.version = c.version;
        ASSERT_EQ(Read(Doc(p)), 0) << c.cls << " " << c.version << Dump();
        EXPECT_EQ(desc.vcdType, c.type) << c.cls << " " << c.version;
    }
}

TEST_F(XmlReaderTest, InfoElements) {
    ASSERT_EQ(Read(Doc(WithInfo("<album-id></album-id><volume-count></volume-count>"
                                "<volume-number>2x</volume-number><next-volume-use-lid2/>"
                                "<restriction>1</restriction>"
                                "<start-time-offset>10</start-time-offset>"
                                "<start-time-offset>bad</start-time-offset>"))),
              0)
        << Dump();
    EXPECT_FALSE(desc.albumId.has_value());
    EXPECT_EQ(desc.volumeCount, 0);
    EXPECT_EQ(desc.volumeNumber, 2);
    EXPECT_EQ(desc.restriction, 1);
    EXPECT_TRUE(desc.nextVolumeUseLid2);
    EXPECT_FALSE(desc.nextVolumeUseSequence2);
    EXPECT_EQ(Count(VCD_LOG_WARN, "empty element [volume-count]??"), 1) << Dump();
    EXPECT_EQ(Count(VCD_LOG_WARN, "error while converting string to integer?"), 1) << Dump();
    EXPECT_EQ(Count(VCD_LOG_WARN, ""), 2) << Dump(); // start-time-offset has no effect
}

TEST_F(XmlReaderTest, IntegerTexts) {
    struct Case {
        const char* text;
        std::int32_t value;
        const char* warning; // null: none
    } cases[] = {
        {"3", 3, nullptr},
        {" 7", 7, nullptr},
        {"-4", -4, nullptr},
        {"1x", 1, "error while converting string to integer?"},
        {"x", 0, "error while converting string to integer?"},
        {"2147483648", INT32_MAX, "error while converting string to integer?"},
        {"99999999999999999999999", INT32_MAX, "error while converting string to integer?"},
        {"-99999999999999999999999", INT32_MIN, "error while converting string to integer?"},
        {"", 0, "empty element [restriction]??"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        window.lines.clear();
        ASSERT_EQ(Read(Doc(WithInfo(std::string("<restriction>") + c.text + "</restriction>"))), 0);
        EXPECT_EQ(desc.restriction, c.value);
        EXPECT_EQ(Count(VCD_LOG_WARN, ""), c.warning ? 1 : 0) << Dump();
        if (c.warning) {
            EXPECT_TRUE(Has(VCD_LOG_WARN, c.warning)) << Dump();
        }
    }
}

TEST_F(XmlReaderTest, FloatingPointTextsIgnoreTheLocale) {
    // The GUI runs with the user's locale, where the decimal point may be a comma.
    const char* const locales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"};
    std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    for (const char* l : locales)
        if (std::setlocale(LC_NUMERIC, l)) break;

    struct Case {
        const char* text;
        double value;
        bool warns;
    } cases[] = {{"1.5", 1.5, false}, {"1e1", 10, false}, {"2,5", 2, true},     {"nan", 0, true},
                 {"1e999", 0, true},  {"inf", 0, true},   {"0.25s", 0.25, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        window.lines.clear();
        desc.sequenceItems.clear();
        Parts p;
        p.sequences = std::string("<sequence-items><sequence-item src=\"a.mpg\">"
                                  "<entry>") +
                      c.text + "</entry><auto-pause>" + c.text +
                      "</auto-pause></sequence-item></sequence-items>";
        ASSERT_EQ(Read(Doc(p)), 0) << Dump();
        ASSERT_EQ(desc.sequenceItems.size(), 1u);
        ASSERT_EQ(desc.sequenceItems[0].entries.size(), 1u);
        EXPECT_EQ(desc.sequenceItems[0].entries[0].time, c.value);
        EXPECT_EQ(desc.sequenceItems[0].autoPauses, std::vector<double>{c.value});
        EXPECT_EQ(Count(VCD_LOG_WARN, "error while converting string to floating point?"),
                  c.warns ? 2 : 0)
            << Dump();
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST_F(XmlReaderTest, FileSystemEntries) {
    Parts p;
    p.filesystem = "<filesystem>"
                   "<folder><name>A</name>"
                   "<folder><name>B</name><file src=\"/x/y/f.dat\"/></folder>"
                   "<file src=\"D:\\data\\a.dat\" format=\"mixed\"/>"
                   "</folder>"
                   "<file src=\"C:\\dir/x\\y.dat\"/>"
                   "<file src=\"plain.bin\"><name>TOP.BIN</name></file>"
                   "<file src=\"bare.bin\"/>"
                   "</filesystem>";
    ASSERT_EQ(Read(Doc(p)), 0) << Dump();
    struct Expect {
        const char* path;
        const char* src; // null: folder
        bool mixed;
    } expected[] = {
        {"A", nullptr, false},
        {"A/B", nullptr, false},
        {"A/B/f.dat", "/x/y/f.dat", false},
        {"A/a.dat", "D:\\data\\a.dat", true},
        {"x\\y.dat", "C:\\dir/x\\y.dat", false},
        {"TOP.BIN", "plain.bin", false},
        {"bare.bin", "bare.bin", false},
    };
    ASSERT_EQ(desc.fsEntries.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(expected[i].path);
        EXPECT_EQ(desc.fsEntries[i].path, expected[i].path);
        EXPECT_EQ(desc.fsEntries[i].src.has_value(), expected[i].src != nullptr);
        if (expected[i].src) {
            EXPECT_EQ(*desc.fsEntries[i].src, expected[i].src);
        }
        EXPECT_EQ(desc.fsEntries[i].mixed, expected[i].mixed);
    }
}

TEST_F(XmlReaderTest, TextsKeepTheirCharactersAndEntities) {
    // A literal UTF-8 character after the DTD was loaded, and a DTD character entity.
    Parts p = WithInfo("<album-id>\xC3\xA9t\xC3\xA9 &eacute;&yuml;&agrave;</album-id>");
    p.pvd = "<volume-id>Caf&eacute;</volume-id><system-id></system-id>"
            "<publisher-id>  </publisher-id>";
    ASSERT_EQ(Read(Doc(p)), 0) << Dump();
    ASSERT_TRUE(desc.albumId.has_value());
    EXPECT_EQ(*desc.albumId, "\xC3\xA9t\xC3\xA9 \xC3\xA9\xC3\xBF\xC3\xA0");
    ASSERT_TRUE(desc.volumeId.has_value());
    EXPECT_EQ(*desc.volumeId, "Caf\xC3\xA9");
    EXPECT_FALSE(desc.systemId.has_value());
    ASSERT_TRUE(desc.publisherId.has_value());
    EXPECT_EQ(*desc.publisherId, "  ");
}

const char kFullBody[] =
    "<option name=\"update scan offsets\" value=\"true\"/>"
    "<option name=\"Track Pregap\"/>"
    "<info><album-id>ALBUM</album-id><volume-count>2</volume-count>"
    "<volume-number>1</volume-number><next-volume-use-sequence2/>"
    "<restriction>2</restriction></info>"
    "<pvd><volume-id>VOL</volume-id><system-id>SYS</system-id>"
    "<application-id>APP</application-id><preparer-id>PREP</preparer-id>"
    "<publisher-id>PUB</publisher-id></pvd>"
    "<filesystem><folder><name>DATA</name><file src=\"r.txt\"><name>README.TXT</name></file>"
    "</folder></filesystem>"
    "<segment-items><segment-item id=\"seg-a\" src=\"still.mpg\">"
    "<auto-pause>0.5</auto-pause><auto-pause>1</auto-pause></segment-item></segment-items>"
    "<sequence-items>"
    "<sequence-item id=\"seq-a\" src=\"a.mpg\"><default-entry id=\"def-a\"/>"
    "<entry id=\"ent-1\">1.25</entry><entry>2</entry><auto-pause>3.5</auto-pause>"
    "</sequence-item>"
    "<sequence-item src=\"b.mpg\"/>"
    "</sequence-items>"
    "<pbc>"
    "<selection id=\"menu\"><bsn>2</bsn><prev ref=\"play\" x1=\"1\" y1=\"2\" x2=\"300\" y2=\"4\"/>"
    "<next ref=\"end\"/><return ref=\"menu\" x1=\"-1\"/><multi-default numeric=\"disabled\"/>"
    "<timeout ref=\"end\"/><wait>5</wait><loop jump-timing=\"delayed\">3</loop>"
    "<play-item ref=\"seg-a\"/><select ref=\"seq-a\" x1=\"10\" y1=\"20\" x2=\"30\" y2=\"40\"/>"
    "<select ref=\"ent-1\"/></selection>"
    "<selection id=\"menu2\" rejected=\"true\"><default ref=\"play\"/><loop>0</loop>"
    "<select ref=\"play\"/></selection>"
    "<playlist id=\"play\"><prev ref=\"menu\"/><next ref=\"end\"/><return ref=\"menu2\"/>"
    "<playtime>12.5</playtime><wait>7</wait><autowait>1</autowait>"
    "<play-item ref=\"seq-a\"/><play-item ref=\"ent-1\"/></playlist>"
    "<endlist id=\"end\"><next-volume>2</next-volume><play-item ref=\"seg-a\"/></endlist>"
    "</pbc>";

std::string FullDocument() {
    return "<?xml version=\"1.0\"?>\n" + kDoctype + "\n<videocd xmlns=\"" + VIDEOCD_XML_NAMESPACE +
           "\" class=\"svcd\" version=\"1.0\">" + kFullBody + "</videocd>\n";
}

TEST_F(XmlReaderTest, FullDocument) {
    ASSERT_EQ(Read(FullDocument()), 0) << Dump();
    EXPECT_EQ(Count(VCD_LOG_WARN, ""), 0) << Dump();
    EXPECT_EQ(Count(VCD_LOG_ERROR, ""), 0) << Dump();
    EXPECT_EQ(desc.vcdType, VCD_TYPE_SVCD);

    ASSERT_EQ(desc.options.size(), 2u);
    EXPECT_EQ(desc.options[0].name, "update scan offsets");
    EXPECT_EQ(desc.options[0].value, "true");
    EXPECT_EQ(desc.options[1].name, "Track Pregap");
    EXPECT_EQ(desc.options[1].value, "");

    EXPECT_EQ(desc.albumId, "ALBUM");
    EXPECT_EQ(desc.volumeCount, 2);
    EXPECT_EQ(desc.volumeNumber, 1);
    EXPECT_EQ(desc.restriction, 2);
    EXPECT_TRUE(desc.nextVolumeUseSequence2);
    EXPECT_FALSE(desc.nextVolumeUseLid2);
    EXPECT_EQ(desc.volumeId, "VOL");
    EXPECT_EQ(desc.systemId, "SYS");
    EXPECT_EQ(desc.applicationId, "APP");
    EXPECT_EQ(desc.preparerId, "PREP");
    EXPECT_EQ(desc.publisherId, "PUB");

    ASSERT_EQ(desc.fsEntries.size(), 2u);
    EXPECT_EQ(desc.fsEntries[1].path, "DATA/README.TXT");
    EXPECT_FALSE(desc.fsEntries[1].mixed); // the DTD default "form1"

    ASSERT_EQ(desc.segmentItems.size(), 1u);
    EXPECT_EQ(desc.segmentItems[0].id, "seg-a");
    EXPECT_EQ(desc.segmentItems[0].src, "still.mpg");
    EXPECT_EQ(desc.segmentItems[0].autoPauses, (std::vector<double>{0.5, 1}));

    ASSERT_EQ(desc.sequenceItems.size(), 2u);
    const VcdSequenceDesc& a = desc.sequenceItems[0];
    EXPECT_EQ(a.id, "seq-a");
    EXPECT_EQ(a.src, "a.mpg");
    EXPECT_EQ(a.defaultEntryId, "def-a");
    ASSERT_EQ(a.entries.size(), 2u);
    EXPECT_EQ(a.entries[0].id, "ent-1");
    EXPECT_EQ(a.entries[0].time, 1.25);
    EXPECT_FALSE(a.entries[1].id.has_value());
    EXPECT_EQ(a.entries[1].time, 2);
    EXPECT_EQ(a.autoPauses, std::vector<double>{3.5});
    EXPECT_EQ(desc.sequenceItems[1].id, "");
    EXPECT_FALSE(desc.sequenceItems[1].defaultEntryId.has_value());

    ASSERT_EQ(desc.pbcLists.size(), 4u);
    const auto* menu = dynamic_cast<const CPbcSelect*>(desc.pbcLists[0].get());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->id, "menu");
    EXPECT_FALSE(menu->rejected);
    EXPECT_EQ(menu->bsn, 2);
    EXPECT_EQ(menu->prevId, "play");
    EXPECT_TRUE(menu->prevArea.present);
    EXPECT_EQ(menu->prevArea.x1, 1);
    EXPECT_EQ(menu->prevArea.y1, 2);
    EXPECT_EQ(menu->prevArea.x2, 300 & 0xFF);
    EXPECT_EQ(menu->prevArea.y2, 4);
    EXPECT_EQ(menu->nextId, "end");
    EXPECT_FALSE(menu->nextArea.present);
    EXPECT_EQ(menu->returnId, "menu");
    EXPECT_EQ(menu->returnArea.x1, 0xFF);
    EXPECT_EQ(menu->defaultKind, PBC_DEFAULT_MULTI_NO_NUMERIC);
    EXPECT_EQ(menu->timeoutId, "end");
    EXPECT_EQ(menu->waitTime, 5);
    EXPECT_EQ(menu->loopCount, 3);
    EXPECT_TRUE(menu->jumpDelayed);
    EXPECT_EQ(menu->itemId, "seg-a");
    EXPECT_EQ(menu->selectIds, (std::vector<std::string>{"seq-a", "ent-1"}));
    ASSERT_EQ(menu->selectAreas.size(), 2u);
    EXPECT_EQ(menu->selectAreas[0].x1, 10);
    EXPECT_EQ(menu->selectAreas[0].y1, 20);
    EXPECT_EQ(menu->selectAreas[0].x2, 30);
    EXPECT_EQ(menu->selectAreas[0].y2, 40);
    EXPECT_FALSE(menu->selectAreas[1].present);

    const auto* menu2 = dynamic_cast<const CPbcSelect*>(desc.pbcLists[1].get());
    ASSERT_NE(menu2, nullptr);
    EXPECT_TRUE(menu2->rejected);
    EXPECT_EQ(menu2->bsn, 1);
    EXPECT_EQ(menu2->defaultKind, PBC_DEFAULT_NORMAL);
    EXPECT_EQ(menu2->defaultId, "play");
    EXPECT_EQ(menu2->loopCount, 0);
    EXPECT_FALSE(menu2->jumpDelayed);

    const auto* play = dynamic_cast<const CPbcPlay*>(desc.pbcLists[2].get());
    ASSERT_NE(play, nullptr);
    EXPECT_EQ(play->prevId, "menu");
    EXPECT_EQ(play->nextId, "end");
    EXPECT_EQ(play->returnId, "menu2");
    EXPECT_EQ(play->playingTime, 12.5);
    EXPECT_EQ(play->waitTime, 7);
    EXPECT_EQ(play->autoPauseWaitTime, 1);
    EXPECT_EQ(play->itemIds, (std::vector<std::string>{"seq-a", "ent-1"}));

    const auto* end = dynamic_cast<const CPbcEnd*>(desc.pbcLists[3].get());
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(end->id, "end");
    EXPECT_EQ(end->nextDisc, 2);
    EXPECT_EQ(end->imageId, "seg-a");
}

TEST_F(XmlReaderTest, SelectionDefaultsWithoutLoop) {
    Parts p;
    p.pbc = "<pbc><selection id=\"s\"/></pbc>";
    ASSERT_EQ(Read(Doc(p)), 0) << Dump();
    ASSERT_EQ(desc.pbcLists.size(), 1u);
    const auto* s = dynamic_cast<const CPbcSelect*>(desc.pbcLists[0].get());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->bsn, 1);
    EXPECT_EQ(s->loopCount, 1);
}

// The tree pass on documents that validation would have refused.
TEST_F(XmlReaderTest, TreePassOnUnvalidatedDocuments) {
    const std::string ns = VIDEOCD_XML_NAMESPACE;
    struct Case {
        std::string text; // empty: a document without root
        int result;
        const char* message;
    } cases[] = {
        {"", 1, "XML document seems to be empty (no root node found)"},
        {"<videocd class=\"vcd\" version=\"2.0\"/>", 1, "Namespace not found in document"},
        {"<other xmlns=\"" + ns + "\"/>", 1, "root element not videocd..."},
        {"<videocd xmlns:v=\"" + ns + "\" class=\"vcd\" version=\"2.0\"/>", 1,
         "root element not videocd..."},
        {"<videocd xmlns=\"" + ns +
             "\" xmlns:x=\"urn:x\" class=\"vcd\" version=\"2.0\">"
             "<x:info><album-id>NO</album-id></x:info><meta/><!-- c --><?pi x?>"
             "<info><x:album-id>NO</x:album-id><album-id>YES</album-id></info>"
             "<bogus/></videocd>",
         0, "unexpected element: bogus"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        window.lines.clear();
        VcdProjectDesc d;
        xmlDocPtr doc = c.text.empty()
                            ? xmlNewDoc(BAD_CAST "1.0")
                            : xmlReadMemory(c.text.data(), static_cast<int>(c.text.size()),
                                            "mem.xml", nullptr, XML_PARSE_NONET);
        ASSERT_NE(doc, nullptr);
        CVcdXmlReader reader(*log, &d);
        EXPECT_EQ(reader.ReadDocument(doc), c.result);
        xmlFreeDoc(doc);
        EXPECT_EQ(Count(0, c.message), 1) << Dump();
        EXPECT_EQ(static_cast<int>(window.lines.size()), 1) << Dump();
        if (c.result == 0) {
            EXPECT_EQ(d.albumId, "YES");
        }
    }
}

TEST_F(XmlReaderTest, TreePassRefusesFoldersBeyondItsDepth) {
    xmlDocPtr doc = xmlNewDoc(BAD_CAST "1.0");
    xmlNodePtr root = xmlNewNode(nullptr, BAD_CAST "videocd");
    xmlDocSetRootElement(doc, root);
    xmlNsPtr ns = xmlNewNs(root, BAD_CAST VIDEOCD_XML_NAMESPACE, nullptr);
    xmlSetNs(root, ns);
    xmlSetProp(root, BAD_CAST "class", BAD_CAST "vcd");
    xmlSetProp(root, BAD_CAST "version", BAD_CAST "2.0");
    xmlNodePtr node = xmlNewChild(root, ns, BAD_CAST "filesystem", nullptr);
    for (int i = 0; i < 5000; ++i) {
        node = xmlNewChild(node, ns, BAD_CAST "folder", nullptr);
        xmlNewChild(node, ns, BAD_CAST "name", BAD_CAST "D");
    }
    CVcdXmlReader reader(*log, &desc);
    EXPECT_EQ(reader.ReadDocument(doc), 1);
    EXPECT_TRUE(Has(VCD_LOG_ERROR, "parsing tree failed"));
    xmlFreeDoc(doc);
}

// libxml2's diagnostics must still reach the log after the parser clean-up of an earlier read,
// on the main thread and on a worker thread as in the burner.
TEST_F(XmlReaderTest, RepeatedReadsKeepTheErrorHandler) {
    Parts noDoctype;
    noDoctype.doctype = "";
    const std::string invalid = Doc(noDoctype);
    for (int i = 0; i < 3; ++i) {
        window.lines.clear();
        EXPECT_EQ(Read(invalid), 1);
        EXPECT_GT(Count(VCD_LOG_ERROR, ""), 1) << "read " << i << Dump();
        EXPECT_EQ(Read(Doc(Parts())), 0) << Dump();
    }

    std::vector<int> libxmlLines;
    std::thread worker([&] {
        RecordingWindow w;
        CVcdBuildLog threadLog(&w, platform::RegisterWindowMessage("xml-reader-thread"), 2, false);
        for (int i = 0; i < 3; ++i) {
            w.lines.clear();
            VcdProjectDesc d;
            CVcdXmlReader reader(threadLog, &d);
            reader.Read(path.c_str());
            libxmlLines.push_back(static_cast<int>(w.lines.size()));
        }
    });
    WriteText(path, invalid);
    worker.join();
    ASSERT_EQ(libxmlLines.size(), 3u);
    for (int n : libxmlLines)
        EXPECT_GT(n, 1);
}

// xmllint, an independent validator, must agree with the built-in DTD's verdicts.
TEST_F(XmlReaderTest, XmllintValidatesWithTheBuiltInDtd) {
    if (std::system("xmllint --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xmllint";
    const std::string dtd = dir.File("videocd.dtd");
    WriteText(dtd, CVcdXmlDtd::Text());
    EXPECT_NE(CVcdXmlDtd::Text().find("<!ENTITY yuml \"&#255;\">"), std::string::npos);

    Parts noInfo = WithInfo("");
    std::string invalid = Doc(noInfo);
    invalid.erase(invalid.find("<info></info>"), std::strlen("<info></info>"));
    Parts badFormat;
    badFormat.filesystem = "<filesystem><file src=\"a\" format=\"raw\"/></filesystem>";
    Parts danglingRef;
    danglingRef.pbc = "<pbc><endlist id=\"e\"><play-item ref=\"nowhere\"/></endlist></pbc>";
    struct Case {
        const char* label;
        std::string text;
        bool valid;
    } cases[] = {
        {"full", FullDocument(), true},
        {"minimal", Doc(Parts()), true},
        {"no info", invalid, false},
        {"bad format", Doc(badFormat), false},
        {"dangling IDREF", Doc(danglingRef), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        window.lines.clear();
        VcdProjectDesc d;
        WriteText(path, c.text);
        CVcdXmlReader reader(*log, &d);
        EXPECT_EQ(reader.Read(path.c_str()), c.valid ? 0 : 1) << Dump();
        const std::string cmd =
            "xmllint --nonet --noout --dtdvalid '" + dtd + "' '" + path + "' 2>/dev/null";
        const int status = std::system(cmd.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status) == 0, c.valid);
    }
}

// ---------------------------------------------------------------------------------------------
// Transfer into the project

class XmlTransferTest : public XmlReaderTest {
  protected:
    std::unique_ptr<CVcdObj> project = CVcdObj::Create(*log, VCD_TYPE_VCD20);
};

TEST_F(XmlTransferTest, OptionTable) {
    struct Case {
        const char* name;
        const char* value; // null: attribute absent
        const char* warning;
        bool applied; // the project logged a change
    } cases[] = {
        {"Track Pregap", "200", nullptr, true},
        {"track pregap", "1x", "error while converting string '1x' to integer", true},
        {"TRACK PREGAP", nullptr, nullptr, true},
        {"leadout pause", "yes", "option value 'yes' invalid (use 'true' or 'false')", false},
        {"leadout pause", nullptr, "option value '' invalid (use 'true' or 'false')", false},
        {"Leadout Pause", "TRUE", nullptr, true},
        {"relaxed aps", "true", nullptr, true},
        {"track rear margin", "99999999999",
         "error while converting string '99999999999' to "
         "integer",
         true},
        {"no such option", "1", "unknown option name 'no such option'", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "=" + (c.value ? c.value : "(none)"));
        auto p = CVcdObj::Create(*log, VCD_TYPE_VCD20);
        VcdProjectDesc d;
        d.volumeCount = 1;
        d.volumeNumber = 1;
        d.options.push_back({c.name, c.value ? c.value : ""});
        window.lines.clear();
        ASSERT_EQ(ApplyOptions(d, *p), 0);
        if (c.warning) {
            EXPECT_EQ(Count(VCD_LOG_WARN, c.warning), 1) << Dump();
        }
        EXPECT_EQ(Has(VCD_LOG_INFO, "chang"), c.applied) << Dump();
        if (!c.warning && !c.applied) {
            EXPECT_EQ(window.lines.size(), 0u) << Dump();
        }
    }

    // Values as the project took them.
    VcdProjectDesc d;
    d.volumeCount = 3;
    d.volumeNumber = 2;
    d.restriction = 1;
    d.nextVolumeUseLid2 = true;
    d.albumId = "ALB";
    d.volumeId = "VOLUME";
    d.systemId = "SYS";
    d.preparerId = "PREP";
    d.options = {{"track pregap", "200"},         {"leadout pause", "true"},
                 {"update scan offsets", "true"}, {"relaxed aps", "false"},
                 {"relaxed aps", "TRUE"},         {"track front margin", "20"}};
    VcdScanOptions scan;
    window.lines.clear();
    ASSERT_EQ(ApplyOptions(d, *project, &scan), 0);
    EXPECT_EQ(project->trackPregap, 200u);
    EXPECT_EQ(project->trackFrontMargin, 20u);
    EXPECT_TRUE(project->leadoutPause);
    EXPECT_TRUE(project->relaxedAps);
    EXPECT_EQ(project->volumeCount, 3u);
    EXPECT_EQ(project->volumeNumber, 2u);
    EXPECT_EQ(project->restriction, 1u);
    EXPECT_TRUE(project->nextVolumeLid2);
    EXPECT_EQ(project->albumId, "ALB");
    EXPECT_EQ(project->volumeLabel, "VOLUME");
    EXPECT_TRUE(project->publisherId.empty());
    // VCD 2.0 ignores "update scan offsets"; the front end still scans with it.
    EXPECT_FALSE(project->updateScanOffsets);
    EXPECT_TRUE(scan.updateScanOffsets);
    EXPECT_TRUE(scan.relaxedAps);
    EXPECT_FALSE(Has(0, "SYS")) << Dump();
    EXPECT_FALSE(Has(0, "PREP")) << Dump();
}

TEST_F(XmlTransferTest, FilesAndFolders) {
    const std::string data = dir.File("readme.txt");
    WriteText(data, std::string(3000, 'x'));
    desc.fsEntries = {{"DATA", std::nullopt, false},
                      {"DATA/README.TXT", data, false},
                      {"DATA/MISSING.TXT", dir.File("missing.txt"), false},
                      {"DATA/LATE.TXT", data, false}};
    EXPECT_NE(AddFiles(desc, *project), 0);
    ASSERT_EQ(project->customDirs.Size(), 1u);
    EXPECT_EQ(*project->customDirs.At(0), "DATA");
    ASSERT_EQ(project->customFiles.Size(), 1u); // the first failure ends the step
    EXPECT_EQ(project->customFiles.At(0)->path, "DATA/README.TXT");
    EXPECT_EQ(project->customFiles.At(0)->size, 3000);

    desc.fsEntries = {{"BAD.DIR.", std::nullopt, false}};
    EXPECT_NE(AddFiles(desc, *project), 0);
    desc.fsEntries = {{"RAW.DAT", data, true}}; // not whole 2336-byte sectors
    EXPECT_NE(AddFiles(desc, *project), 0);
    EXPECT_EQ(project->customFiles.Size(), 1u);
}

TEST_F(XmlTransferTest, SequencesWithEntriesAndPauses) {
    const std::string mpg = std::string(PELLAM_FIXTURES) + "/vcd_ntsc.mpg";
    desc.sequenceItems.resize(2);
    desc.sequenceItems[0].id = "seq-a";
    desc.sequenceItems[0].src = mpg;
    desc.sequenceItems[0].defaultEntryId = "def-a";
    desc.sequenceItems[0].entries = {{"ent-2", 0.8}, {std::nullopt, 0.4}};
    desc.sequenceItems[0].autoPauses = {1.0};
    // Without id: its entry goes to the sequence added last.
    desc.sequenceItems[1].src = mpg;
    desc.sequenceItems[1].entries = {{"ent-b", 0.5}};
    ASSERT_EQ(AddSequences(desc, *project, false, false), 0) << Dump();
    EXPECT_TRUE(Has(VCD_LOG_DEBUG, "sequence count 2")) << Dump();
    EXPECT_TRUE(Has(VCD_LOG_INFO, "scanning sequence #0, " + mpg)) << Dump();
    EXPECT_TRUE(Has(VCD_LOG_INFO, "scanning sequence #1, " + mpg)) << Dump();
    ASSERT_EQ(project->sequences.Size(), 2u);
    const CMpegSequence* a = project->sequences.At(0);
    EXPECT_EQ(a->id, "seq-a");
    EXPECT_EQ(a->defaultEntryId, "def-a");
    ASSERT_EQ(a->entries.Size(), 2u);
    EXPECT_EQ(a->entries.At(0)->time, 0.4);
    EXPECT_EQ(a->entries.At(1)->id, "ent-2");
    ASSERT_EQ(a->pauses.Size(), 1u);
    EXPECT_EQ(a->pauses.At(0)->time, 1.0);
    const CMpegSequence* b = project->sequences.At(1);
    ASSERT_EQ(b->entries.Size(), 1u);
    EXPECT_EQ(b->entries.At(0)->id, "ent-b");

    // A missing file or a duplicate id ends the step.
    VcdProjectDesc more;
    more.sequenceItems.resize(1);
    more.sequenceItems[0].src = dir.File("missing.mpg");
    EXPECT_NE(AddSequences(more, *project, false, false), 0);
    more.sequenceItems[0] = {"seq-a", mpg, std::nullopt, {}, {}};
    EXPECT_NE(AddSequences(more, *project, false, false), 0);
    EXPECT_EQ(project->sequences.Size(), 2u);
}

TEST_F(XmlTransferTest, SegmentsAndPbcLists) {
    const std::string mpg = std::string(PELLAM_FIXTURES) + "/vcd_ntsc.mpg";
    desc.segmentItems = {{"seg-a", mpg, {0.5}}};
    ASSERT_EQ(AddSegments(desc, *project, false, true), 0) << Dump();
    EXPECT_TRUE(Has(VCD_LOG_INFO, "scanning segment #0, " + mpg)) << Dump();
    ASSERT_EQ(project->segments.Size(), 1u);
    EXPECT_EQ(project->segments.At(0)->pauses.Size(), 1u);

    desc.pbcLists.push_back(std::make_unique<CPbcPlay>());
    desc.pbcLists.back()->id = "play";
    desc.pbcLists.push_back(std::make_unique<CPbcSelect>());
    desc.pbcLists.back()->id = "menu";
    desc.pbcLists.push_back(std::make_unique<CPbcEnd>());
    desc.pbcLists.back()->id = "seg-a"; // taken by the segment
    desc.pbcLists.push_back(std::make_unique<CPbcEnd>());
    desc.pbcLists.back()->id = "never";
    EXPECT_NE(AddPbcLists(desc, *project), 0);
    EXPECT_TRUE(Has(VCD_LOG_INFO, "adding pbc 'PlayList' (play)")) << Dump();
    EXPECT_TRUE(Has(VCD_LOG_INFO, "adding pbc 'SelectionList' (menu)")) << Dump();
    EXPECT_TRUE(Has(VCD_LOG_INFO, "adding pbc 'EndList' (seg-a)")) << Dump();
    EXPECT_FALSE(Has(0, "never")) << Dump();
    EXPECT_EQ(project->pbcList.Size(), 2u);
    EXPECT_EQ(desc.pbcLists[0], nullptr); // moved into the project
    EXPECT_NE(desc.pbcLists[2], nullptr);
}

} // namespace
