// The base of objects that can copy one another's contents, and the
// runtime's out-of-memory error.
#pragma once

#include <string>

#include "platform/classes.h"

// "Not enough memory to allocate data."
class EOutOfMemory : public Exception {
public:
    using Exception::Exception;
};

class TPersistent : public TObject {
public:
    virtual std::string ClassName() const { return "TPersistent"; }
    // Copies `source` into this object; a kind that cannot be copied here
    // raises EConvertError.
    virtual void Assign(const TPersistent& source) { source.AssignTo(*this); }

protected:
    virtual void AssignTo(TPersistent& dest) const {
        throw EConvertError("Cannot assign a " + ClassName() + " to a " + dest.ClassName());
    }
};
