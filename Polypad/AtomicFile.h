// Writing a file whole or not at all: the bytes go to a temporary file beside the target, which
// then replaces the target by a rename. A failure removes the temporary file and leaves whatever
// was under the target's name before. Platform-free (std::filesystem).
#pragma once

#include "CoreLib/Errors.h"

#include <filesystem>
#include <string>

// The file could not be written; the message names it and the reason.
class EFileWrite : public Exception {
public:
    using Exception::Exception;
};

void WriteFileAtomically(const std::filesystem::path& target, const std::string& bytes);
