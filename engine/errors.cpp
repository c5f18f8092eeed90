#include "tidelin/errors.h"

#include "filesystem.h"

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

std::string CauseSuffix(const EngineError& error) {
    if (error.SystemCode() == 0) {
        return {};
    }
    return ": " + error.SystemText() + " (" + fs::SystemCodeName + ' ' + std::to_string(error.SystemCode()) + ")";
}

}  // namespace tidelin
