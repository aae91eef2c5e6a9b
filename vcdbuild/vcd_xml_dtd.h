// The built-in VideoCD XML DTD and the external entity loader that serves it while one document
// is parsed. The hook is the only way any external entity reaches the parser: the DTD comes from
// memory, and every other external entity is refused, so a project file can never make the
// parser read local files or the network.
#pragma once

#include "vcd_log.h"

#include <libxml/parser.h>

#include <string>

class CVcdXmlDtd {
  public:
    // Saves and replaces the keep-blanks default and the external entity loader; a parser context
    // is served once its private pointer is this object.
    explicit CVcdXmlDtd(CVcdLog& log);
    ~CVcdXmlDtd();
    CVcdXmlDtd(const CVcdXmlDtd&) = delete;
    CVcdXmlDtd& operator=(const CVcdXmlDtd&) = delete;

    // The DTD text, plain ASCII (the Latin-1 characters are character references).
    static const std::string& Text();

    // True when this hook serves `ctxt`.
    bool Serves(const xmlParserCtxt* ctxt) const;

    CVcdLog& log;
    // Set when an external entity other than the DTD was asked for and refused.
    bool refused = false;

  private:
    static xmlParserInputPtr Load(const char* systemId, const char* publicId,
                                  xmlParserCtxtPtr ctxt);

    xmlExternalEntityLoader previousLoader_ = nullptr;
    int previousKeepBlanks_ = 1;
    CVcdXmlDtd* previousActive_ = nullptr;
};
