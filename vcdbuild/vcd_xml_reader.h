// The VideoCD XML reader: parses and validates a project document against the built-in DTD,
// fills a project description from its tree, and transfers that description into the project.
#pragma once

#include "vcd_log.h"
#include "vcd_project_desc.h"

#include <libxml/tree.h>

#include <cstdint>
#include <string>

class CVcdObj;

class CVcdXmlReader {
  public:
    // `desc` is owned by the caller and must outlive the reader.
    CVcdXmlReader(CVcdLog& log, VcdProjectDesc* desc) : desc(desc), log(log) {}
    CVcdXmlReader(const CVcdXmlReader&) = delete;
    CVcdXmlReader& operator=(const CVcdXmlReader&) = delete;

    // 0 success, 1 failure: the document must be well-formed and valid.
    int Read(const char* path);
    // The steps after a successful parse (root, namespace, tree pass), on a document the caller
    // keeps. 0 or 1, with the same messages as Read.
    int ReadDocument(xmlDocPtr document);

    // The element readers. The text readers act only on an element called `name` in the VideoCD
    // namespace; otherwise they give an empty text or 0.
    std::string GetText(const char* name, xmlNodePtr node) const;
    std::int32_t GetInt(const char* name, xmlNodePtr node) const;
    double GetDouble(const char* name, xmlNodePtr node) const;
    // The attribute's value (a DTD default included), or an empty text.
    std::string GetAttr(xmlNodePtr node, const char* name) const;
    // 0 when the attribute is absent or empty.
    std::int32_t GetAttrInt(xmlNodePtr node, const char* name) const;
    // x1, y1, x2, y2, each cut to its low 8 bits.
    PbcArea GetArea(xmlNodePtr node) const;

    VcdProjectDesc* desc;
    CVcdLog& log;
    xmlDocPtr doc = nullptr;
    xmlNsPtr ns = nullptr;

  private:
    bool IsVcd(xmlNodePtr node) const;
    std::int32_t ParseInt(const std::string& text) const;
    int ParseTree(xmlNodePtr root);
    void ParseInfo(xmlNodePtr node);
    void ParsePvd(xmlNodePtr node);
    void ParseSegments(xmlNodePtr node);
    void ParseSequences(xmlNodePtr node);
    int ParseFilesystem(xmlNodePtr node);
    int ParseFolder(xmlNodePtr node, const std::string& prefix, int depth);
    int ParseFile(xmlNodePtr node, const std::string& prefix);
    void ParsePbc(xmlNodePtr node);
    std::unique_ptr<CPbc> ParseSelection(xmlNodePtr node);
    std::unique_ptr<CPbc> ParsePlaylist(xmlNodePtr node);
    std::unique_ptr<CPbc> ParseEndlist(xmlNodePtr node);
};

// The scan switches that the front end keeps from the options, as the document wrote them
// (false when absent), whatever the project accepted.
struct VcdScanOptions {
    bool updateScanOffsets = false;
    bool relaxedAps = false;
};

// The transfer steps, run in this order; each returns 0 on success and non-zero on failure.
int ApplyOptions(VcdProjectDesc& desc, CVcdObj& project, VcdScanOptions* scan = nullptr);
int AddPbcLists(VcdProjectDesc& desc, CVcdObj& project);
int AddFiles(VcdProjectDesc& desc, CVcdObj& project);
int AddSegments(VcdProjectDesc& desc, CVcdObj& project, bool updateScanOffsets, bool relaxedAps);
int AddSequences(VcdProjectDesc& desc, CVcdObj& project, bool updateScanOffsets, bool relaxedAps);
