/*
 * The directory client interface: connections to schema sources, directory
 * contexts, and schema reads through reply buffers.
 *
 * Every call returns a completion code: 0 for success, one of the negative
 * QXERR_ codes below otherwise (QXDSDuplicateContext alone returns a handle).
 * Connections, contexts and buffers are unsigned 32-bit handles; handle 0 is
 * never issued, and a handle that was never issued, or was freed or closed,
 * makes every call answer QXERR_INVALID_HANDLE. Names are NUL-terminated.
 * The library is not thread-safe: one thread uses it at a time (the threads
 * a prefetch starts are its own, and call nothing here).
 *
 * The codes never change meaning:
 *   QXERR_NO_SUCH_SERVER    -301  the name is no source this library can open
 *   QXERR_CANNOT_OPEN       -302  the source (file or folder) cannot be read
 *   QXERR_CANNOT_PARSE      -303  the source holds something that does not parse;
 *                                 at the open for faults of a whole file, at the
 *                                 read of the kind for a faulty description
 *   QXERR_INVALID_HANDLE    -304  a connection, context or buffer handle is not live
 *   QXERR_INVALID_KEY       -305  a context key other than 1, 3, 8 and 11
 *   QXERR_BUFFER_EXHAUSTED  -306  one definition alone is larger than the buffer
 *   QXERR_NO_MORE_ITEMS     -307  a Get call past the last item of the buffer
 *   QXERR_NAME_TOO_LONG     -308  a name longer than QX_MAX_NAME_LEN bytes
 *   QXERR_OUT_OF_MEMORY     -309  memory ran out
 *   QXERR_NO_SUCH_ENTRY     -310  the entry is not held by the source
 *   QXERR_INVALID_ARGUMENT  -311  a null pointer, bad size or unsupported option
 *   QXERR_WRONG_ITEM        -312  the buffer's next item is of another kind
 *   QXERR_NOT_CONNECTED     -313  the context is bound to no source
 *   QXERR_BAD_ITERATION     -314  the iteration handle is not one this library gave
 *   QXERR_NO_SUCH_HOST      -315  the server's host name does not resolve
 *   QXERR_UNREACHABLE       -316  the server cannot be reached (refused, no route)
 *   QXERR_TLS_FAILURE       -317  TLS could not be set up, or the certificate
 *                                 did not verify; never a fall back to plain text
 *   QXERR_BIND_REFUSED      -318  the server refused the bind (credentials, method)
 *   QXERR_TIMEOUT           -319  the server did not answer in time
 *   QXERR_NO_SUBSCHEMA      -320  the server has no subschema entry that can be read
 *   QXERR_ACCESS_DENIED     -321  the server refused the schema read for lack of access
 *   QXERR_CONNECTION_LOST   -322  the server closed the connection during a read
 *   QXERR_SERVER_ERROR      -323  any other error the server or the protocol reported
 */
#ifndef TAVLER_DSCONTEXT_DSCLIENT_H
#define TAVLER_DSCONTEXT_DSCLIENT_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QX_SUCCESS 0
#define QXERR_NO_SUCH_SERVER (-301)
#define QXERR_CANNOT_OPEN (-302)
#define QXERR_CANNOT_PARSE (-303)
#define QXERR_INVALID_HANDLE (-304)
#define QXERR_INVALID_KEY (-305)
#define QXERR_BUFFER_EXHAUSTED (-306)
#define QXERR_NO_MORE_ITEMS (-307)
#define QXERR_NAME_TOO_LONG (-308)
#define QXERR_OUT_OF_MEMORY (-309)
#define QXERR_NO_SUCH_ENTRY (-310)
#define QXERR_INVALID_ARGUMENT (-311)
#define QXERR_WRONG_ITEM (-312)
#define QXERR_NOT_CONNECTED (-313)
#define QXERR_BAD_ITERATION (-314)
#define QXERR_NO_SUCH_HOST (-315)
#define QXERR_UNREACHABLE (-316)
#define QXERR_TLS_FAILURE (-317)
#define QXERR_BIND_REFUSED (-318)
#define QXERR_TIMEOUT (-319)
#define QXERR_NO_SUBSCHEMA (-320)
#define QXERR_ACCESS_DENIED (-321)
#define QXERR_CONNECTION_LOST (-322)
#define QXERR_SERVER_ERROR (-323)

/* Limits. Buffer sizes count the terminating NUL. */
#define QX_MAX_NAME_LEN 65         /* longest definition or item name, in bytes */
#define QX_NAME_BUF_SIZE 66        /* a buffer that holds any such name */
#define QX_CONTEXT_NAME_SIZE 514   /* context and tree names, and object names */
#define QX_SERVER_NAME_SIZE 48     /* QXGetFileServerName's buffer */
#define QX_REPLY_BUF_SIZE 64512    /* the reply buffer the readers allocate */
#define QX_MIN_REPLY_BUF_SIZE 1024 /* smallest size QXDSAllocBuf accepts */
#define QX_MAX_REPLY_BUF_SIZE 1048576

/* Flag bits of the definitions handed out. */
#define DS_CONTAINER_CLASS 0x01
#define DS_EFFECTIVE_CLASS 0x02
#define DS_AUXILIARY_CLASS 0x20
#define DS_SINGLE_VALUED_ATTR 0x0001
#define DS_SIZED_ATTR 0x0002
#define DS_READ_ONLY_ATTR 0x0008
#define DS_HIDDEN_ATTR 0x0010
#define DS_STRING_ATTR 0x0020
#define DS_PER_REPLICA 0x0400
#define DS_STRING 0x0001
#define QX_NO_SYNTAX 0xFFFFFFFFu

/* Context keys. */
#define QX_CTX_FLAGS 1 /* uint32_t */
#define QX_CTX_NAME 3  /* char[QX_CONTEXT_NAME_SIZE]; "[Root]" at first */
#define QX_CTX_CONNECTION                                                          \
    8                       /* uint32_t: set, requests go to that connection; read \
                               after a request, the connection that answered */
#define QX_CTX_TREE_NAME 11 /* char[QX_CONTEXT_NAME_SIZE]; empty at first */

/* The option values QXCCOpenConnByName accepts, and the read request's. */
#define QX_NAME_FORMAT_SERVER 2
#define QX_OPEN_STATE_DEFAULT 1
#define QX_TRANSPORT_ANY 0x8000
#define QX_INFO_FULL 1 /* info type of a read request: whole definitions */
#define QX_ITERATION_START (-1)

typedef struct {
    uint32_t classFlags;
} Class_Info_T;

typedef struct {
    uint32_t attrFlags;
    uint32_t attrSyntaxID; /* 0xFFFFFFFF: no syntax */
} Attr_Info_T;

typedef struct {
    uint16_t flags;
} Syntax_Info_T;

typedef struct {
    char baseClass[QX_NAME_BUF_SIZE]; /* the class of the entry */
    uint32_t objectFlags;
} Object_Info_T;

/* Connections. */
int32_t QXGetConnectionIDFromName(uint32_t nameLength, const char* name, uint32_t* connection);
int32_t QXGetDefaultConnectionID(uint32_t* connection);
/* Opens the source `name` (see the README for the forms a name takes). The
 * default connection `start` must be given, and the three options must be
 * the QX_NAME_FORMAT_SERVER, QX_OPEN_STATE_DEFAULT and QX_TRANSPORT_ANY values. */
int32_t QXCCOpenConnByName(uint32_t start, const char* name, uint32_t nameFormat,
                           uint32_t openState, uint32_t transport, uint32_t* connection);
int32_t QXCCCloseConn(uint32_t connection);
/* The connection's source name, cut to fit QX_SERVER_NAME_SIZE bytes. */
int32_t QXGetFileServerName(uint32_t connection, char* name);
/* 1 when `name` begins with the scheme of a kind of source (file:, ldap://,
 * ldaps:// or ldapi://, letter case ignored), else 0: such a name stands for
 * a source whatever else it holds. Needs no connection and sets no error text. */
int32_t QXNameHasSourceScheme(const char* name);

/* Contexts. */
int32_t QXDSCreateContextHandle(uint32_t* context);
/* A new context with the values of `context`, or 0 when none can be made. */
uint32_t QXDSDuplicateContext(uint32_t context);
int32_t QXDSFreeContext(uint32_t context);
/* `value` points to a uint32_t for keys 1 and 8, to a NUL-terminated name for
 * keys 3 and 11 (QXERR_NAME_TOO_LONG when it does not fit 514 bytes). */
int32_t QXDSSetContext(uint32_t context, int32_t key, const void* value);
int32_t QXDSGetContext(uint32_t context, int32_t key, void* value);
/* 0 when the context's source holds the entry `name` ("[Root]" always). */
int32_t QXDSReadObjectInfo(uint32_t context, const char* name, char* distName, Object_Info_T* info);

/* Reply buffers. */
int32_t QXDSAllocBuf(size_t size, uint32_t* buffer);
int32_t QXDSFreeBuf(uint32_t buffer);

/* Schema reads: the next part of all definitions of the kind, as many whole
 * definitions as fit the buffer. `iteration` is QX_ITERATION_START on the
 * first call and again after the last part; `allNames` must be 1 and
 * `names` 0 (no name list). */
int32_t QXDSReadClassDef(uint32_t context, uint32_t infoType, uint32_t allNames, uint32_t names,
                         int32_t* iteration, uint32_t buffer);
int32_t QXDSReadAttrDef(uint32_t context, uint32_t infoType, uint32_t allNames, uint32_t names,
                        int32_t* iteration, uint32_t buffer);
int32_t QXDSReadSyntaxes(uint32_t context, uint32_t infoType, uint32_t allNames, uint32_t names,
                         int32_t* iteration, uint32_t buffer);

/* The Get calls walk the buffer in order: a count, then each definition
 * (a class followed by its five item counts and items: super classes,
 * containment, naming, mandatory, optional). A call that does not match the
 * next item answers QXERR_WRONG_ITEM, one past the end QXERR_NO_MORE_ITEMS;
 * either leaves the buffer where it was. Names are written into buffers of
 * QX_NAME_BUF_SIZE bytes; a longer name answers QXERR_NAME_TOO_LONG and is
 * passed over. */
int32_t QXDSGetClassDefCount(uint32_t context, uint32_t buffer, uint32_t* count);
int32_t QXDSGetClassDef(uint32_t context, uint32_t buffer, char* name, Class_Info_T* info);
int32_t QXDSGetClassItemCount(uint32_t context, uint32_t buffer, uint32_t* count);
int32_t QXDSGetClassItem(uint32_t context, uint32_t buffer, char* name);
int32_t QXDSGetAttrCount(uint32_t context, uint32_t buffer, uint32_t* count);
int32_t QXDSGetAttrDef(uint32_t context, uint32_t buffer, char* name, Attr_Info_T* info);
int32_t QXDSGetSyntaxCount(uint32_t context, uint32_t buffer, uint32_t* count);
int32_t QXDSGetSyntaxDef(uint32_t context, uint32_t buffer, char* name, Syntax_Info_T* info);

/* Whole descriptions, for comparing or saving every field of a schema: each
 * schema description value the context's source holds, in source order, is
 * handed to `sink` with its kind (QX_DESC_), its text (NUL-terminated, and
 * `length` bytes long) and where it was found ("core.schema:12", or the
 * server's name); then each OID macro as kind QX_DESC_OID_MACRO with the
 * text "NAME VALUE". The texts live only for the call of the sink, which must
 * not throw. Returns 0, or the code with which the source's schema could not
 * be read. A description that does not parse is handed out as it stands; a
 * file source whose files are read again for this call (after a listing
 * read) fails as its open would have, should they have changed since. */
#define QX_DESC_LDAP_SYNTAX 0
#define QX_DESC_MATCHING_RULE 1
#define QX_DESC_MATCHING_RULE_USE 2
#define QX_DESC_ATTRIBUTE_TYPE 3
#define QX_DESC_OBJECT_CLASS 4
#define QX_DESC_DIT_CONTENT_RULE 5
#define QX_DESC_DIT_STRUCTURE_RULE 6
#define QX_DESC_NAME_FORM 7
#define QX_DESC_OID_MACRO 8
typedef void (*QXDescriptionSink)(void* user, uint32_t kind, const char* text, size_t length,
                                  const char* origin);
int32_t QXDSReadDescriptions(uint32_t context, QXDescriptionSink sink, void* user);

/* Prefetch for a run over the lines of a list that name sources: while the
 * caller works through the lines, the sources named by the lines ahead are
 * opened and given their first read (QX_PREFETCH_LISTING: the definitions;
 * QX_PREFETCH_DESCRIPTIONS: the descriptions) on the library's own threads,
 * at most `jobs` (1 to QX_MAX_PREFETCH_JOBS) at a time and at most twice as
 * many held ahead. QXCCOpenConnByName for a name held takes it, waiting for
 * it if need be, and answers, sets the error text and later reads exactly as
 * it would have without; a prefetch closes what it held and no line took
 * when the caller reaches a later line, or at the stop.
 *
 * QXPrefetchOffer offers the name on list line `line` (lines count from 1,
 * in order); `queued` is 1 when it is held: a name of a built-in kind of
 * source, not seen before in this prefetch, with no connection open, and no
 * bind password still to be asked for. QXPrefetchReached tells that the
 * caller is about to run line `line`. These calls set no error text. */
#define QX_PREFETCH_LISTING 0
#define QX_PREFETCH_DESCRIPTIONS 1
#define QX_MAX_PREFETCH_JOBS 1024
int32_t QXPrefetchStart(uint32_t jobs, uint32_t read, uint32_t* prefetch);
int32_t QXPrefetchOffer(uint32_t prefetch, uint32_t line, const char* name, uint32_t* queued);
int32_t QXPrefetchReached(uint32_t prefetch, uint32_t line);
int32_t QXPrefetchStop(uint32_t prefetch);

/* What went wrong in the last failed call, in one line (for a description
 * that does not parse: the file, the line and the description), or an empty
 * text. Writes at most `size` bytes with the terminator; returns the length
 * of the whole text. */
size_t QXGetLastErrorText(char* text, size_t size);

#ifdef __cplusplus
}
#endif

#endif
