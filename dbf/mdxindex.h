// The MDX reader: the header and tags of a MDX index file and the nodes of their trees, for
// the shared tree code of dbf/indexreader.h. Reads only; damage becomes a tag's reason.
#pragma once

#include <memory>
#include <string>

#include "dbf/indexreader.h"

namespace tavlo {

// Reads the headers and checks every tag (see OpenIndexFile). Raises EIndexFileError when the
// bytes are not a MDX index file.
std::unique_ptr<TIndexReader> ReadMdxIndex(std::shared_ptr<TIndexBytes> bytes,
                                           const std::string& path,
                                           const TIndexOpenOptions& options);

}  // namespace tavlo
