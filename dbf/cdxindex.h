// The CDX reader: the header and tags of a CDX (or compact IDX) index file and the nodes of their
// trees, for the shared tree code of dbf/indexreader.h. Reads only; damage becomes a tag's reason.
#pragma once

#include <memory>
#include <string>

#include "dbf/indexreader.h"

namespace tavlo {

// Reads the headers and checks every tag (see OpenIndexFile). Raises EIndexFileError when the
// bytes are not a CDX index file.
std::unique_ptr<TIndexReader> ReadCdxIndex(std::shared_ptr<TIndexBytes> bytes,
                                           const std::string& path,
                                           const TIndexOpenOptions& options);
// The same for a compact IDX file (FoxPro 2): one tag named by the file's base name.
std::unique_ptr<TIndexReader> ReadCompactIdxIndex(std::shared_ptr<TIndexBytes> bytes,
                                                  const std::string& path,
                                                  const TIndexOpenOptions& options);

}  // namespace tavlo
