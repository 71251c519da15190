#include "platform/files/FileSystem.h"

namespace files {
namespace {

FileSystem* g_current = nullptr;

} // namespace

FileSystem& CurrentFileSystem()
{
    return g_current ? *g_current : SystemFileSystem();
}

FileSystemScope::FileSystemScope(FileSystem& fileSystem) : m_previous(g_current)
{
    g_current = &fileSystem;
}

FileSystemScope::~FileSystemScope()
{
    g_current = m_previous;
}

} // namespace files
