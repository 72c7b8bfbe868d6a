// Symbol visibility of the two shared libraries. Everything not marked with
// one of these macros stays private to its library.
#ifndef MV_HOST_EXPORT_H
#define MV_HOST_EXPORT_H

#if defined(_WIN32)
#  define MV_DLL_EXPORT __declspec(dllexport)
#  define MV_DLL_IMPORT __declspec(dllimport)
#else
#  define MV_DLL_EXPORT __attribute__((visibility("default")))
#  define MV_DLL_IMPORT __attribute__((visibility("default")))
#endif

// The host toolkit layer, library Mv61.
#if defined(MV61_BUILD)
#  define MV61_API MV_DLL_EXPORT
#else
#  define MV61_API MV_DLL_IMPORT
#endif

// The plug-in, library MvKMBrep61.
#if defined(MVKM_BUILD)
#  define MVKM_API MV_DLL_EXPORT
#else
#  define MVKM_API MV_DLL_IMPORT
#endif

#endif
