// A document written in full before any of it reaches standard output: a file of the program's
// own in the temporary directory, deleted when closed. A walk that fails shows its message alone,
// as a document held whole in memory would, and memory does not grow with the document.
#pragma once
#include "platform/Handle.h"
#include "xml/COMStdoutStream.h"
#include "xml/Msxml.h"

class DocumentSpool {
public:
    // Made while the program still runs in its own context: the target account need not be able
    // to write in the program's temporary directory. "Unable to create temporary file in (%s)".
    DocumentSpool();

    // The stream the SAX writer writes into.
    com::Ptr<COMStdoutStream> stream() const;
    // Everything written, from the start, through the log at `level` as one message.
    void copyToLog(int level);

private:
    platform::FileHandle file_;
};
