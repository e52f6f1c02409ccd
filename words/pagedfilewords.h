// The paged-file words &name.method: the per-run list of paged files a script has named, and
// the registration of the word family. The words only pop, call TqelPagedFile and push.
#pragma once

#include "pagedfile/pagedfile.h"
#include "script/runstate.h"

namespace tavlo {

// PagedFiles of a running script: closed and discarded at the start and end of every run.
class TqelJPFList : public TqelNamedList<TqelPagedFile> {};

void RegisterPagedFileWords();

}  // namespace tavlo
