#include "transcode/common/FFErrorText.h"

#include <cerrno>
#include <cstdio>

#include "components/FFAPI.h"

namespace {

struct TErrorPair {
  int code;
  const char *text;
};

// Searched from the start; the first pair with the code wins. C errors are keyed by their
// names (AVERROR(ENAME)), so the texts follow the error, whatever number the platform gives it.
// Windows socket numbers are kept as plain negated numbers.
const TErrorPair ErrorTable[] = {
    {-10004, "Interrupted function call"},
    {-10009, "Bad file descriptor"},
    {-10013, "Permission denied"},
    {-10014, "Bad address"},
    {-10022, "Invalid argument"},
    {-10024, "Too many open files"},
    {-10063, "Filename too long"},
    {-10066, "Directory not empty"},
    {-10062, "Too many levels of symbolic links"},
    {-10071, "Object is remote"},
    {-10068, "Too many users"},
    {-10038, "Socket operation on non-socket"},
    {-10039, "Destination address required"},
    {-10040, "Message too long"},
    {-10041, "Protocol wrong type for socket"},
    {-10042, "Protocol not available"},
    {-10043, "Protocol not supported"},
    {-10044, "Socket type not supported"},
    {-10045, "Operation not supported"},
    {-10046, "Protocol family not supported"},
    {-10047, "Address family not supported by protocol"},
    {-10048, "Address already in use"},
    {-10049, "Cannot assign requested address"},
    {-10050, "Network is down"},
    {-10051, "Network is unreachable"},
    {-10052, "Network dropped connection on reset"},
    {-10053, "Software caused connection abort"},
    {-10054, "Connection reset by peer"},
    {-10055, "No buffer space available"},
    {-10056, "Transport endpoint is already connected"},
    {-10057, "Transport endpoint is not connected"},
    {-10058, "Cannot send after transport endpoint shutdown"},
    {-10059, "Too many references: cannot splice"},
    {-10060, "Connection timed out"},
    {-10061, "Connection refused"},
    {-10064, "Host is down"},
    {-10065, "No route to host"},
    {-10037, "Operation already in progress"},
    {-10036, "Operation now in progress"},
    {-10070, "Stale file handle"},
    {-10069, "Disk quota exceeded"},
    {-10035, "WSAEWOULDBLOCK"},
    {-10067, "WSAEPROCLIM"},
    {-10101, "WSAEDISCON"},
    {-10091, "WSASYSNOTREADY"},
    {-10092, "WSAVERNOTSUPPORTED"},
    {-10093, "WSANOTINITIALISED"},
    {-11001, "WSAHOST_NOT_FOUND"},
    {-11002, "WSATRY_AGAIN"},
    {-11003, "WSANO_RECOVERY"},
    {-11004, "WSANO_DATA"},
    {-10102, "WSAENOMORE"},
    {-10103, "WSAECANCELLED"},
    {-10104, "WSAEINVALIDPROCTABLE"},
    {-10105, "WSAEINVALIDPROVIDER"},
    {-10106, "WSAEPROVIDERFAILEDINIT"},
    {-10107, "WSASYSCALLFAILURE"},
    {-10108, "WSASERVICE_NOT_FOUND"},
    {-10109, "WSATYPE_NOT_FOUND"},
    {-10110, "WSA_E_NO_MORE"},
    {-10111, "WSA_E_CANCELLED"},
    {-10112, "WSAEREFUSED"},

    {AVERROR_BSF_NOT_FOUND, "Bitstream filter not found"},
    {AVERROR_BUG, "Internal bug, should not have happened"},
    {AVERROR_BUG2, "Internal bug, should not have happened"},
    {AVERROR_BUFFER_TOO_SMALL, "Buffer too small"},
    {AVERROR_DECODER_NOT_FOUND, "Decoder not found"},
    {AVERROR_DEMUXER_NOT_FOUND, "Demuxer not found"},
    {AVERROR_ENCODER_NOT_FOUND, "Encoder not found"},
    {AVERROR_EOF, "End of file"},
    {AVERROR_EXIT, "Immediate exit requested"},
    {AVERROR_EXTERNAL, "Generic error in an external library"},
    {AVERROR_FILTER_NOT_FOUND, "Filter not found"},
    {AVERROR_INVALIDDATA, "Invalid data found when processing input"},
    {AVERROR_MUXER_NOT_FOUND, "Muxer not found"},
    {AVERROR_OPTION_NOT_FOUND, "Option not found"},
    {AVERROR_PATCHWELCOME, "Not yet implemented in FFmpeg, patches welcome"},
    {AVERROR_PROTOCOL_NOT_FOUND, "Protocol not found"},
    {AVERROR_STREAM_NOT_FOUND, "Stream not found"},
    {AVERROR_UNKNOWN, "Unknown error occurred"},
    {AVERROR_EXPERIMENTAL, "Requested feature is flagged experimental. Set "
                           "strict_std_compliance if you really want to use it."},
    {AVERROR_INPUT_CHANGED, "Input changed"},
    {AVERROR_OUTPUT_CHANGED, "Output changed"},
    {AVERROR_HTTP_BAD_REQUEST, "Server returned 400 Bad Request"},
    {AVERROR_HTTP_UNAUTHORIZED, "Server returned 401 Unauthorized (authorization failed)"},
    {AVERROR_HTTP_FORBIDDEN, "Server returned 403 Forbidden (access denied)"},
    {AVERROR_HTTP_NOT_FOUND, "Server returned 404 Not Found"},
    {AVERROR_HTTP_OTHER_4XX, "Server returned 4XX Client Error, but not one of 40{0,1,3,4}"},
    {AVERROR_HTTP_SERVER_ERROR, "Server returned 5XX Server Error reply"},

    {AVERROR(EPERM), "Operation not permitted"},
    {AVERROR(ENOENT), "No such file or directory"},
    {AVERROR(ESRCH), "No such process"},
    {AVERROR(EINTR), "Interrupted function call"},
    {AVERROR(EIO), "Input/output error"},
    {AVERROR(ENXIO), "No such device or address"},
    {AVERROR(E2BIG), "Arg list too long"},
    {AVERROR(ENOEXEC), "Exec format error"},
    {AVERROR(EBADF), "Bad file descriptor"},
    {AVERROR(ECHILD), "No child processes"},
    {AVERROR(EAGAIN), "Resource temporarily unavailable / Try again"},
    {AVERROR(ENOMEM), "Not enough space / Out of memory"},
    {AVERROR(EACCES), "Permission denied"},
    {AVERROR(EFAULT), "Bad address"},
    {AVERROR(EBUSY), "Resource device"},
    {AVERROR(EEXIST), "File exists"},
    {AVERROR(EXDEV), "Improper link"},
    {AVERROR(ENODEV), "No such device"},
    {AVERROR(ENOTDIR), "Not a directory"},
    {AVERROR(EISDIR), "Is a directory"},
    {AVERROR(EINVAL), "Invalid argument / Invalid data found when processing input"},
    {AVERROR(ENFILE), "Too many open files in system"},
    {AVERROR(EMFILE), "Too many open files"},
    {AVERROR(ENOTTY), "Inappropriate I/O control operation"},
    {AVERROR(ETXTBSY), "Text file busy"},
    {AVERROR(EFBIG), "File too large"},
    {AVERROR(ENOSPC), "No space left on device"},
    {AVERROR(ESPIPE), "Invalid seek"},
    {AVERROR(EROFS), "Read-only file system"},
    {AVERROR(EMLINK), "Too many links"},
    {AVERROR(EPIPE), "Broken pipe"},
    {AVERROR(EDOM), "Domain error"},
    {AVERROR(ERANGE), "Result too large"},
    {AVERROR(EDEADLK), "Resource deadlock avoided"},
    {AVERROR(ENAMETOOLONG), "Filename too long"},
    {AVERROR(ENOLCK), "No locks available"},
    {AVERROR(ENOSYS), "Function not implemented"},
    {AVERROR(ENOTEMPTY), "Directory not empty"},
    {AVERROR(ELOOP), "Too many levels of symbolic links"},
    {AVERROR(EPROTO), "Protocol error"},
    {AVERROR(EOVERFLOW), "Value too large for defined data type"},
    {AVERROR(EILSEQ), "Illegal byte sequence"},
    {AVERROR(ENOTSOCK), "Socket operation on non-socket"},
    {AVERROR(EDESTADDRREQ), "Destination address required"},
    {AVERROR(EMSGSIZE), "Message too long"},
    {AVERROR(EPROTOTYPE), "Protocol wrong type for socket"},
    {AVERROR(ENOPROTOOPT), "Protocol not available"},
    {AVERROR(EPROTONOSUPPORT), "Protocol not supported"},
    {AVERROR(EOPNOTSUPP), "Operation not supported"},
    {AVERROR(EAFNOSUPPORT), "Address family not supported by protocol"},
    {AVERROR(EADDRINUSE), "Address already in use"},
    {AVERROR(EADDRNOTAVAIL), "Cannot assign requested address"},
    {AVERROR(ENETDOWN), "Network is down"},
    {AVERROR(ENETUNREACH), "Network is unreachable"},
    {AVERROR(ENETRESET), "Network dropped connection on reset"},
    {AVERROR(ECONNABORTED), "Software caused connection abort"},
    {AVERROR(ECONNRESET), "Connection reset by peer"},
    {AVERROR(ENOBUFS), "No buffer space available"},
    {AVERROR(EISCONN), "Transport endpoint is already connected"},
    {AVERROR(ENOTCONN), "Transport endpoint is not connected"},
    {AVERROR(ETIMEDOUT), "Connection timed out"},
    {AVERROR(ECONNREFUSED), "Connection refused"},
    {AVERROR(EHOSTUNREACH), "No route to host"},
    {AVERROR(EALREADY), "Operation already in progress"},
    {AVERROR(EINPROGRESS), "Operation now in progress"},
    {AVERROR(ECANCELED), "Operation canceled"},
    {AVERROR(EOWNERDEAD), "Owner died"},
    {AVERROR(EDQUOT), "Disk quota exceeded"},
};

} // namespace

std::string FFErrorText(int AErrCode) {
  for (const TErrorPair &e : ErrorTable)
    if (e.code == AErrCode)
      return e.text;
  char buf[64];
  std::snprintf(buf, sizeof buf, "Error number %d occurred", AErrCode);
  return buf;
}

std::string FFErrorText(const std::string &APrefix, int AErrCode) {
  if (APrefix.empty())
    return FFErrorText(AErrCode);
  return APrefix + ": " + FFErrorText(AErrCode);
}
