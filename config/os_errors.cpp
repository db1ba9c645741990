#include "os_errors.h"

#include <cerrno>

namespace tandex::config {

int ResultCodeOfErrno(int err) {
    switch (err) {
        case 0:
            return 0;
        case ENOENT:
            return 2;
        case ENOTDIR:
            return 3;
        case EACCES:
        case EPERM:
        case EISDIR:
            return 5;
        case EMFILE:
        case ENFILE:
            return 4;
        case EBADF:
            return 6;
        case ENOMEM:
            return 8;
        case EXDEV:
            return 17;
        case EROFS:
            return 19;
        case ENXIO:
        case ENODEV:
            return 21;
        case EBUSY:
        case ETXTBSY:
            return 32;
        case EHOSTDOWN:
        case ESTALE:
            return 53;
        case EEXIST:
            return 80;
        case EINVAL:
            return 87;
        case ENOSPC:
        case EDQUOT:
            return 112;
        case ENOTEMPTY:
            return 145;
        case ECANCELED:
            return 1235;
        case ETIMEDOUT:
            return 10060;
        case ECONNREFUSED:
            return 10061;
        case ENETUNREACH:
        case ENETDOWN:
            return 10051;
        case ECONNABORTED:
            return 10053;
        case ECONNRESET:
            return 10054;
        case EHOSTUNREACH:
            return 10065;
        case ENAMETOOLONG:
            return 206;
        case EFBIG:
            return 223;
        case EIO:
            return 1117;
        case ELOOP:
            return 1921;
        case EOPNOTSUPP:
        case ENOSYS:
            return 50;
        default:
            return 31;
    }
}

}  // namespace tandex::config
