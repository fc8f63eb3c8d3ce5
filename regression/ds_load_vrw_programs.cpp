#include "regression/ds_load_vrw_programs.h"

#include "model/DSError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QDebug>

#include <memory>

namespace {

// Binary choice, count, linear, multinomial logit, ordered choice, Cox,
// negative binomial, common.
constexpr unsigned kFamilyOrder[] = {0x1, 0x10, 0x8, 0x4, 0x2, 0x40, 0x20, 0x80};

constexpr size_t kBuildLogCapacity = 65536;

QString executable_dir()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(u'/', 0, -2);
}

QString &chosen_directory()
{
    static QString directory;
    return directory;
}

} // namespace

void ds_set_vrw_program_directory(const QString &directory)
{
    chosen_directory() = directory;
}

QString ds_vrw_program_directory()
{
    if (!chosen_directory().isNull())
        return chosen_directory();
    QDir installed(executable_dir() + QStringLiteral("/../share/ostrel/cl"));
    if (installed.exists())
        return installed.canonicalPath();
    return QStringLiteral(OSTREL_BUILD_SHARE_DIR "/cl");
}

int ds_compile_vrw_program(unsigned bit, const QString &directory, VRWContext_s *context,
                           DSError *error)
{
    auto log = std::make_unique<char[]>(kBuildLogCapacity);
    int32_t status = 0;
    int64_t log_length = 0;
    VRWCode_s *code = vrw_compile_code(context, QFile::encodeName(directory).constData(), bit,
                                       &status, kBuildLogCapacity, log.get(), &log_length);
    if (status != 0) {
        if (error)
            *error = ds_make_error(1, QStringLiteral("Error compiling Varrow code"));
        qWarning("Error compiling Varrow code: %d", status);
        if (log_length != 0)
            qWarning("Error details: %s", log.get());
        return status;
    }
    status = vrw_load_code(context, code);
    vrw_release_code(code);
    if (status != 0) {
        if (error)
            *error = ds_make_error(1, QStringLiteral("Error loading Varrow code"));
        qWarning("Error loading Varrow code: %d", status);
    }
    return status;
}

int ds_load_vrw_programs_from(const QString &directory, uint64_t mask, VRWContext_s *context,
                              DSError *error)
{
    for (unsigned bit : kFamilyOrder) {
        uint32_t loaded = context ? context->loaded_family_mask : 0;
        if (!(mask & bit) || (loaded & bit))
            continue;
        int status = ds_compile_vrw_program(bit, directory, context, error);
        if (status != 0)
            return status;
    }
    return 0;
}

int ds_load_vrw_programs(uint64_t mask, VRWContext_s *context, DSError *error)
{
    return ds_load_vrw_programs_from(ds_vrw_program_directory(), mask, context, error);
}
