#include "tidelin/errors.h"

#include <cerrno>
#include <cstring>

namespace tidelin {

std::string DescribeError(std::int32_t number) {
    switch (number) {
        case err::Overflow:
            return "Переполнение.";
        case err::BadFileName:
            return "Неверное имя файла.";
        case err::FileNotFound:
            return "Файл не найден.";
        case err::FileAlreadyOpen:
            return "Файл уже открыт.";
        case err::DeviceIo:
            return "Ошибка ввода-вывода устройства.";
        case err::DiskFull:
            return "Диск заполнен.";
        case err::TooManyOpenFiles:
            return "Слишком много открытых файлов.";
        case err::PermissionDenied:
            return "Доступ запрещён.";
        case err::PathFileAccess:
            return "Ошибка доступа к пути или файлу.";
        case err::PathNotFound:
            return "Путь не найден.";
        default:
            return "Неизвестная ошибка.";
    }
}

void RaiseOverflow() { throw EngineError(err::Overflow, DescribeError(err::Overflow)); }

void RaiseChangedWhileRead() { throw EngineError(err::DeviceIo, "Файл изменился во время чтения."); }

void RaiseSystemError(int errnoValue) {
    std::int32_t number = err::DeviceIo;
    switch (errnoValue) {
        case ENOENT:
            number = err::FileNotFound;
            break;
        case ENOTDIR:
            number = err::PathNotFound;
            break;
        case ENAMETOOLONG:
        case EINVAL:
            number = err::BadFileName;
            break;
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
            number = err::PermissionDenied;
            break;
        case ENOSPC:
#ifdef EDQUOT  // not in the Windows C runtime
        case EDQUOT:
#endif
        case EFBIG:
            number = err::DiskFull;
            break;
        case EMFILE:
        case ENFILE:
            number = err::TooManyOpenFiles;
            break;
        case EISDIR:
        case ELOOP:
        case EEXIST:
        case ENOTEMPTY:
        case EBUSY:
        case EXDEV:
            number = err::PathFileAccess;
            break;
        default:
            number = err::DeviceIo;
            break;
    }
    throw EngineError(number, DescribeError(number), errnoValue, std::strerror(errnoValue));
}

std::string CauseSuffix(const EngineError& error) {
    if (error.SystemCode() == 0) {
        return {};
    }
#ifdef _WIN32
    const char* const kind = "Win32 error ";
#else
    const char* const kind = "errno ";
#endif
    return ": " + error.SystemText() + " (" + kind + std::to_string(error.SystemCode()) + ")";
}

}  // namespace tidelin
