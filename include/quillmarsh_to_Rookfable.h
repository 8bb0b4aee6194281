/*
 * quillmarsh_to_Rookfable: the list plugin's C boundary.
 *
 * The host loads the library by file and calls these seven functions by
 * their plain names with the C calling convention. Every text argument and
 * result is a NUL-terminated byte string: names are ASCII, list text and
 * results are Shift_JIS (code page 932), carried as bytes and never decoded.
 *
 * Result protocol, shared by every function that returns text:
 *   - outSize 0 (or negative, or no buffer: out or *out null): nothing is
 *     written; the result is the room the text needs, terminator included.
 *   - otherwise the text, cut to outSize - 1 bytes if it does not fit, and
 *     one NUL are written to *out; the result is the number of text bytes
 *     written. The cut counts bytes and may split a double-byte character.
 *   - a negative result is one of the codes below; nothing is written.
 * A caller that wants the whole text asks twice: size, then fetch.
 */
#ifndef QUILLMARSH_TO_ROOKFABLE_H
#define QUILLMARSH_TO_ROOKFABLE_H

#include <stdint.h>

#if defined(_WIN32)
#define QTR_CALL __cdecl
#else
#define QTR_CALL
#endif

#if defined(QTR_BUILDING_LIBRARY) && !defined(_WIN32)
#define QTR_API __attribute__((visibility("default")))
#else
#define QTR_API /* Windows exports come from the .def file */
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum {
    /* The selector is not 100, or no line of the list starts with the name. */
    ResultNotFound = -512,
    /* The entry's line lacks the field, or no version could be cut from
       its title. */
    ResultNoField = -768,
    /* The call could not complete: memory ran out. */
    ResultNoMemory = -1024
};

/*
 * The exports' types, for a host that finds them with GetProcAddress or
 * dlsym. windows.h declares a GetVersion of its own: a host that includes
 * it defines QTR_NO_PROTOTYPES before including this header and uses these
 * types alone.
 */
typedef int32_t(QTR_CALL* QtrGetPluginVersionFunc)(void);
typedef int32_t(QTR_CALL* QtrGetTextFunc)(char** out, int32_t outSize);
typedef int32_t(QTR_CALL* QtrGetFieldFunc)(const char* listText, const char* name,
                                           int32_t selector, char** out, int32_t outSize);

#ifndef QTR_NO_PROTOTYPES

/* Always 111. */
QTR_API int32_t QTR_CALL GetPluginVersion(void);

/* The author credit: a handle, " - " and a host name. */
QTR_API int32_t QTR_CALL GetPluginAuthor(char** out, int32_t outSize);

/* A one-line description, 49 bytes of Shift_JIS. */
QTR_API int32_t QTR_CALL GetPluginInfo(char** out, int32_t outSize);

/*
 * The four list functions take the whole list text ("name TAB title TAB
 * kana TAB maker", one entry a line, CR LF or LF), the short name asked for
 * (matched without regard to ASCII case) and a selector, which must be 100:
 * any other selector gives ResultNotFound.
 */

/* The title. With the settings file's third line other than "0", the
   version (see GetVersion) is removed from it and spaces trimmed. */
QTR_API int32_t QTR_CALL GetTitle(const char* listText, const char* name,
                                  int32_t selector, char** out,
                                  int32_t outSize);

/* The kana reading. */
QTR_API int32_t QTR_CALL GetKana(const char* listText, const char* name,
                                 int32_t selector, char** out,
                                 int32_t outSize);

/* The maker: the line's last field, up to its CR or LF. */
QTR_API int32_t QTR_CALL GetMaker(const char* listText, const char* name,
                                  int32_t selector, char** out,
                                  int32_t outSize);

/* The version note cut out of the title by the settings file's pattern
   (by default the last parenthesised part); ResultNoField when there is
   none. */
QTR_API int32_t QTR_CALL GetVersion(const char* listText, const char* name,
                                    int32_t selector, char** out,
                                    int32_t outSize);

#endif /* QTR_NO_PROTOTYPES */

#ifdef __cplusplus
}
#endif

#endif
