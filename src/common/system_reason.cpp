#include "common/system_reason.h"

#include <cerrno>
#include <system_error>

namespace mivo {

std::string systemReasonText(int code) {
    switch (code) {
    case ENOSPC:
        return "ディスクの空き容量が足りません";
    case EDQUOT:
        return "ディスクの使用量の上限を超えています";
    case EROFS:
        return "読み取り専用のファイルシステムです";
    case EACCES:
    case EPERM:
        return "アクセスが拒否されました";
    case ENOENT:
        return "ファイルまたはフォルダがありません";
    case ENAMETOOLONG:
        return "名前が長すぎます";
    case EIO:
        return "入出力エラーが発生しました";
    case EISDIR:
        return "同じ名前のフォルダがあります";
    case ENOTDIR:
        return "パスの途中にフォルダではないものがあります";
    case EEXIST:
        return "同じ名前のものがすでにあります";
    case ELOOP:
        return "シンボリックリンクが多すぎるか循環しています";
    case EFBIG:
        return "ファイルが大きすぎます";
    case EMFILE:
    case ENFILE:
        return "開いているファイルが多すぎます";
    case ENOMEM:
        return "メモリが足りません";
    case EBUSY:
    case ETXTBSY:
        return "使用中です";
    case ENOTEMPTY:
        return "フォルダが空ではありません";
    case EXDEV:
        return "別のファイルシステムをまたいでいます";
    case ENODEV:
    case ENXIO:
        return "デバイスがありません";
    default:
        // strerror's words, in the language of the user's locale where the system has them.
        return std::generic_category().message(code);
    }
}

} // namespace mivo
