// Darwin Core Archive: a zip of occurrence.txt (the occurrence CSV), meta.xml
// and eml.xml. The occurrences go through a file of their own first, so that
// libzip reads them from disk rather than from memory.
#include "dwc.h"
#include "pendingfile.h"

#include <zip.h>

namespace {

bool addBuffer(zip_t* archive, const char* name, const std::string& text) {
    zip_source_t* source = zip_source_buffer(archive, text.data(), text.size(), 0);
    if (source == nullptr) return false;
    if (zip_file_add(archive, name, source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) < 0) {
        zip_source_free(source);
        return false;
    }
    return true;
}

bool addFile(zip_t* archive, const char* name, const std::string& path) {
    zip_source_t* source = zip_source_file(archive, path.c_str(), 0, -1);
    if (source == nullptr) return false;
    if (zip_file_add(archive, name, source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) < 0) {
        zip_source_free(source);
        return false;
    }
    return true;
}

bool writeOccurrences(const ExportInput& in, PendingFile& file, const std::string& near, std::string& error) {
    if (!createPendingFile(near + ".occurrence", file, error)) return false;
    TextSink out(file.file);
    writeDwcCsv(in, out);
    return out.flush() && closePendingFile(file, error);
}

} // namespace

bool writeDwcArchive(const ExportInput& in, const PendingFile& file, std::string& error) {
    const std::string& path = file.target;
    PendingFile occurrences;
    if (!writeOccurrences(in, occurrences, file.temporary, error)) {
        discardPendingFile(occurrences);
        return false;
    }
    // Both must outlive zip_close, which reads them.
    const std::string meta = dwcMetaXml();
    const std::string eml = dwcEmlXml(in);

    int code = 0;
    zip_t* archive = zip_open(file.temporary.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    bool ok = archive != nullptr;
    if (!ok) {
        zip_error_t failure;
        zip_error_init_with_code(&failure, code);
        error = "cannot write '" + path + "': " + zip_error_strerror(&failure);
        zip_error_fini(&failure);
    } else {
        ok = addFile(archive, "occurrence.txt", occurrences.temporary) && addBuffer(archive, "meta.xml", meta) &&
             addBuffer(archive, "eml.xml", eml);
        if (ok) ok = zip_close(archive) == 0;
        if (!ok) {
            error = "cannot write '" + path + "': " + zip_strerror(archive);
            zip_discard(archive);
        }
    }
    discardPendingFile(occurrences);
    return ok;
}
