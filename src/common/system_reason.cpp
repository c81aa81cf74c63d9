#include "common/system_reason.h"

#include <cerrno>
#include <system_error>

#include "common/translate.h"

namespace mivo {

std::string systemReasonText(int code) {
    switch (code) {
    case ENOSPC:
        return translatable("ディスクの空き容量が足りません");
    case EDQUOT:
        return translatable("ディスクの使用量の上限を超えています");
    case EROFS:
        return translatable("読み取り専用のファイルシステムです");
    case EACCES:
    case EPERM:
        return translatable("アクセスが拒否されました");
    case ENOENT:
        return translatable("ファイルまたはフォルダがありません");
    case ENAMETOOLONG:
        return translatable("名前が長すぎます");
    case EIO:
        return translatable("入出力エラーが発生しました");
    case EISDIR:
        return translatable("同じ名前のフォルダがあります");
    case ENOTDIR:
        return translatable("パスの途中にフォルダではないものがあります");
    case EEXIST:
        return translatable("同じ名前のものがすでにあります");
    case ELOOP:
        return translatable("シンボリックリンクが多すぎるか循環しています");
    case EFBIG:
        return translatable("ファイルが大きすぎます");
    case EMFILE:
    case ENFILE:
        return translatable("開いているファイルが多すぎます");
    case ENOMEM:
        return translatable("メモリが足りません");
    case EBUSY:
    case ETXTBSY:
        return translatable("使用中です");
    case ENOTEMPTY:
        return translatable("フォルダが空ではありません");
    case EXDEV:
        return translatable("別のファイルシステムをまたいでいます");
    case ENODEV:
    case ENXIO:
        return translatable("デバイスがありません");
    default:
        // strerror's words, in the language of the user's locale where the system has them.
        return std::generic_category().message(code);
    }
}

} // namespace mivo
