// The IDX reader: FoxPro's single-tag index files, compact (read as a CDX tag) or in the
// older uncompressed layout, for the shared tree code of dbf/indexreader.h. Reads only.
#pragma once

#include <memory>
#include <string>

#include "dbf/indexreader.h"

namespace tavlo {

// Reads the header of an IDX file (see OpenIndexFile); its one tag is named by the file's
// base name. Raises EIndexFileError when the bytes are not an IDX file of either layout.
std::unique_ptr<TIndexReader> ReadIdxIndex(std::shared_ptr<TIndexBytes> bytes,
                                           const std::string& path,
                                           const TIndexOpenOptions& options);

}  // namespace tavlo
