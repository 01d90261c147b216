#include "codecs/library_loader.h"

#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QLibrary>
#include <QMutex>
#include <QStringList>
#include <atomic>
#include <memory>

namespace codecs {
namespace {

struct LibrarySlot {
    QString location; // empty: beside the executable, its private library folder, the system's path
    std::unique_ptr<QLibrary> library;
    QHash<QByteArray, QFunctionPointer> operations;
};

std::atomic<unsigned> g_generation{1};

QMutex& slotMutex() {
    static QMutex mutex;
    return mutex;
}

LibrarySlot& slotOf(Library library) {
    static LibrarySlot libraries[2];
    return libraries[library == Library::Decoder ? 0 : 1];
}

QStringList candidates(Library library, const LibrarySlot& slot) {
    if (!slot.location.isEmpty()) {
        return {slot.location};
    }
    QStringList names;
    if (QCoreApplication::instance() != nullptr) {
        // QLibrary adds the platform's prefix and suffix to the base name (libvbmp3.so here). A portable
        // copy or the build tree keeps the libraries beside the program; an installed one in its private
        // library folder, found relative to the program so that the whole tree can be moved.
        const QDir programFolder(QCoreApplication::applicationDirPath());
        names << programFolder.filePath(libraryBaseName(library));
        names << QDir::cleanPath(programFolder.filePath(QStringLiteral(MP3RECAST_PRIVATE_LIBDIR_REL) +
                                                        QLatin1Char('/') + libraryBaseName(library)));
    }
    names << libraryBaseName(library);
    return names;
}

QLibrary& load(Library library, LibrarySlot& slot, const char* operation) {
    if (slot.library) {
        return *slot.library;
    }
    QStringList failures;
    for (const QString& name : candidates(library, slot)) {
        auto candidate = std::make_unique<QLibrary>(name);
        if (candidate->load()) {
            slot.library = std::move(candidate);
            return *slot.library;
        }
        failures << candidate->errorString();
    }
    const QString file = libraryFileName(library);
    const QString op = QString::fromLatin1(operation);
    throw CodecError(file, op,
                     QStringLiteral("ライブラリ %1 を読み込めませんでした (%2): %3")
                         .arg(file, op, failures.join(QStringLiteral("; "))));
}

} // namespace

QString libraryBaseName(Library library) {
    return library == Library::Decoder ? QStringLiteral("vbmp3") : QStringLiteral("gogo");
}

QString libraryFileName(Library library) {
#if defined(Q_OS_WIN)
    return libraryBaseName(library) + QStringLiteral(".dll");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("lib") + libraryBaseName(library) + QStringLiteral(".dylib");
#else
    return QStringLiteral("lib") + libraryBaseName(library) + QStringLiteral(".so");
#endif
}

CodecError missingOperationError(Library library, const char* operation) {
    const QString file = libraryFileName(library);
    const QString op = QString::fromLatin1(operation);
    return CodecError(file, op, QStringLiteral("ライブラリ %1 に %2 がありません").arg(file, op));
}

QFunctionPointer resolveOperation(Library library, const char* operation) {
    const QMutexLocker lock(&slotMutex());
    LibrarySlot& slot = slotOf(library);
    const QByteArray name(operation);
    if (const auto known = slot.operations.constFind(name); known != slot.operations.constEnd()) {
        return *known;
    }
    const QFunctionPointer function = load(library, slot, operation).resolve(operation);
    if (function == nullptr) {
        throw missingOperationError(library, operation);
    }
    slot.operations.insert(name, function);
    return function;
}

void setLibraryLocation(Library library, const QString& path) {
    const QMutexLocker lock(&slotMutex());
    LibrarySlot& slot = slotOf(library);
    slot.location = path;
    // Destroying a QLibrary does not unload it, so code of the old library that may still run (a decoding
    // thread) stays mapped.
    slot.library.reset();
    slot.operations.clear();
    ++g_generation;
}

unsigned libraryGeneration() {
    return g_generation.load();
}

} // namespace codecs
