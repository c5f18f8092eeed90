#include "open_files.h"

#include "tidelin/errors.h"

namespace tidelin {

void OpenFileTable::CheckFree(int number) {
    if (Slot(number).IsOpen()) {
        throw EngineError(err::FileAlreadyOpen, DescribeError(err::FileAlreadyOpen));
    }
}

fs::File& OpenFileTable::Slot(int number) {
    if (number != Source && number != Work) {
        throw EngineError(err::BadFileName, DescribeError(err::BadFileName));
    }
    return files_[static_cast<std::size_t>(number - 1)];
}

bool OpenFileTable::IsOpen(int number) const {
    return (number == Source || number == Work) && files_[static_cast<std::size_t>(number - 1)].IsOpen();
}

void OpenFileTable::Close(int number) { Slot(number).Close(); }

void OpenFileTable::CloseAll() noexcept {
    for (fs::File& file : files_) {
        file.CloseQuietly();
    }
}

}  // namespace tidelin
