// Export and import markers of the host libraries. The host builds core and hostutil as
// DLLs on Windows; a native build (HOST_STATIC) links their portable parts statically.
#pragma once

#if defined(HOST_STATIC)
#  define HOST_EXPORT
#  define HOST_IMPORT
#elif defined(_WIN32)
#  define HOST_EXPORT __declspec(dllexport)
#  define HOST_IMPORT __declspec(dllimport)
#else
#  define HOST_EXPORT __attribute__((visibility("default")))
#  define HOST_IMPORT
#endif

#if defined(HOSTUTIL_BUILD)
#  define HOSTUTIL_API HOST_EXPORT
#else
#  define HOSTUTIL_API HOST_IMPORT
#endif

#if defined(CORE_BUILD)
#  define CORE_API HOST_EXPORT
#else
#  define CORE_API HOST_IMPORT
#endif

#if defined(__clang__)
#  define HOST_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#elif defined(__GNUC__)
#  define HOST_PRINTF_FORMAT(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#else
#  define HOST_PRINTF_FORMAT(fmt, args)
#endif
