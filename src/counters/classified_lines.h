// A file's lines read one at a time with their verdicts.
#pragma once

#include "counters/line_class.h"
#include "platform/line_reader.h"

namespace stepcount {

// A file's lines one at a time with their verdicts, as a count reads them;
// each line's whole bytes go to `whole` before its verdict is given. A file
// that cannot be opened or read is shown as the count's error dialog; next()
// then returns false and failed() true.
class ClassifiedLines {
public:
    virtual ~ClassifiedLines() = default;
    virtual bool next(LineVerdict& verdict, LineBytesSink& whole) = 0;
    virtual bool failed() const = 0;
};

}  // namespace stepcount
