// Feeds arbitrary bytes to the VideoCD XML reader: once through Read on a file, as the builder
// reads a project, and once straight into the tree pass on whatever libxml2 can parse, so the
// element handlers also see documents that validation would refuse.
#include "vcd_log.h"
#include "vcd_project_desc.h"
#include "vcd_xml_dtd.h"
#include "vcd_xml_reader.h"

#include <libxml/parser.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

std::FILE* NullStream() {
    static std::FILE* stream = std::fopen("/dev/null", "w");
    return stream;
}

// One in-memory file for the whole run, reached by its /proc path.
int InputFd() {
    static int fd = memfd_create("vcd_xml_fuzz", 0);
    return fd;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = InputFd();
    if (fd < 0 || size > (1u << 20)) return 0;
    if (ftruncate(fd, 0) != 0) return 0;
    if (size != 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;
    const std::string path = "/proc/self/fd/" + std::to_string(fd);

    CVcdBuildLog log(nullptr, 0, 1, false);
    log.SetConsoleStreams(NullStream(), NullStream());
    {
        VcdProjectDesc desc;
        CVcdXmlReader reader(log, &desc);
        reader.Read(path.c_str());
    }
    {
        // The hook refuses every external entity of this parse, since the context is not its own.
        CVcdXmlDtd hook(log);
        xmlDocPtr doc = xmlReadMemory(reinterpret_cast<const char*>(data), static_cast<int>(size),
                                      "fuzz.xml", nullptr, XML_PARSE_NONET | XML_PARSE_NOENT);
        if (doc != nullptr) {
            VcdProjectDesc desc;
            CVcdXmlReader reader(log, &desc);
            reader.ReadDocument(doc);
            xmlFreeDoc(doc);
        }
    }
    return 0;
}
