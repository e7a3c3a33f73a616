/* The C interface of libsde50.so, our dBase III / NTX table engine. Calls act
   on the work area chosen by sx_Select; texts are zero-terminated; a failing
   call returns 0 (or an empty text) and leaves its message in sx_ErrorText
   and the kind of failure in sx_ErrorCode. sde50_entries.inc lists every
   entry point declared here. */
#ifndef SDE50_H
#define SDE50_H

#ifdef __cplusplus
#define SDE_EXTERN extern "C"
#else
#define SDE_EXTERN
#endif
#define SDE_API SDE_EXTERN __attribute__((visibility("default")))

/* Open modes of sx_Use and table types. */
#define SDE_SHARED 0
#define SDE_READONLY 1
#define SDE_EXCLUSIVE 2
#define SDE_NTX 1

/* sx_EvalTest results. */
#define SDE_EVAL_ERROR 0
#define SDE_EVAL_CHAR 1
#define SDE_EVAL_NUMERIC 2
#define SDE_EVAL_LOGICAL 3
#define SDE_EVAL_DATE 4

/* sx_SysProp properties. */
#define SDE_PROP_EXACT 1002
#define SDE_PROP_DELETED 1006
#define SDE_PROP_INDEX_COUNT 3000

SDE_API int sx_SetStringType(int type);
SDE_API int sx_Use(const char* path, const char* alias, int mode, int type);
SDE_API int sx_Select(int area);
SDE_API int sx_WorkArea(const char* alias);
SDE_API void sx_Close(void);
SDE_API void sx_CloseAll(void);

SDE_API int sx_SetEpoch(int year);
SDE_API int sx_SetDeleted(int on);
SDE_API int sx_SetCentury(int on);
SDE_API int sx_SetTurboRead(int on);
SDE_API int sx_SetExact(int on);
SDE_API long sx_SysProp(int property, void* value);

SDE_API int sx_FieldCount(void);
SDE_API const char* sx_FieldName(int n);
SDE_API const char* sx_FieldType(const char* field);
SDE_API int sx_FieldOffset(const char* field);
SDE_API int sx_FieldWidth(const char* field);
SDE_API int sx_FieldDecimals(const char* field);
SDE_API int sx_RecSize(void);

SDE_API int sx_GetRecord(unsigned char* buffer);
SDE_API int sx_PutRecord(const unsigned char* buffer);
SDE_API int sx_AppendBlank(void);
SDE_API int sx_Delete(void);
SDE_API int sx_Recall(void);
SDE_API int sx_Deleted(void);

SDE_API int sx_GoTop(void);
SDE_API int sx_GoBottom(void);
SDE_API int sx_Skip(long n);
SDE_API int sx_Go(long record);
SDE_API int sx_Eof(void);
SDE_API int sx_Bof(void);
SDE_API long sx_RecNo(void);
SDE_API long sx_RecCount(void);

SDE_API int sx_Rlock(long record);
SDE_API int sx_Unlock(long record);
SDE_API int sx_Locked(long record);

SDE_API int sx_EvalTest(const char* expression);
SDE_API int sx_Query(const char* expression);
SDE_API const char* sx_DBFilter(void);
/* Non-zero when the current row belongs to the view: not at the end, not
   hidden as deleted, and satisfying the query. */
SDE_API int sx_Visible(void);

SDE_API int sx_Index(const char* file, const char* key, int unique, int descending,
                     const char* condition);
SDE_API int sx_IndexOpen(const char* file);
SDE_API int sx_SetOrder(int order);
SDE_API int sx_IndexOrd(void);
SDE_API const char* sx_IndexKey(void);
SDE_API const char* sx_IndexKeyField(void);
SDE_API int sx_CloseIndexes(void);
SDE_API int sx_Reindex(void);
SDE_API int sx_Zap(void);
SDE_API int sx_Seek(const char* key);
SDE_API int sx_Found(void);
/* Number of entries of the current order's index, deleted rows included
   (0 in record order). */
SDE_API long sx_KeyCount(void);

/* Kinds of failure returned by sx_ErrorCode. */
#define SDE_ERR_NONE 0       /* the last call that reports errors succeeded */
#define SDE_ERR_CORRUPT 1    /* a table or index whose bytes make no sense */
#define SDE_ERR_LOCKED 2     /* a file or lock held by another work area or program */
#define SDE_ERR_NOT_FOUND 3  /* no such file */
#define SDE_ERR_IO 4         /* the system refused a read or write (disk full, I/O error) */
#define SDE_ERR_EXPRESSION 5 /* an expression that does not parse or type-check */
#define SDE_ERR_OTHER 6      /* any other refusal: no work area, read-only table, bad argument */

/* Our own additions: creating a table and reading the last error.
   fields: "NAME,TYPE,WIDTH,DECIMALS" items separated by ';'.
   sx_ErrorText and sx_ErrorCode always change together: a call that reports
   errors leaves an empty text and SDE_ERR_NONE when it succeeds, its message
   and its kind when it fails; calls that cannot fail (sx_Select, sx_SetEpoch,
   sx_CloseAll, ...) leave both as they were. */
SDE_API int sx_CreateTable(const char* path, const char* fields);
SDE_API const char* sx_ErrorText(void);
SDE_API int sx_ErrorCode(void);

/* Appends a row with its whole record image (sx_RecSize bytes, deletion
   flag first) and its keys in every index open on the work area, all or
   nothing: when any write fails, the table, its record count and every
   index are as before the call. The new row becomes current. */
SDE_API int sx_AppendRecord(const unsigned char* buffer);
/* Flushes the current work area's table and its open indexes to disk. */
SDE_API int sx_Commit(void);
/* The paths of the index files found damaged and rebuilt from their tables
   since the last call, one per line ("" when none). A damaged index is
   rebuilt when it is opened or read and no other work area or program
   holds it; otherwise its error stands. */
SDE_API const char* sx_RepairedIndexes(void);

#endif
