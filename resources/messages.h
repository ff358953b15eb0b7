// The program's own texts, character for character. UTF-8 here; converted to
// GBK wherever bytes are needed. "\n" is a line break inside a message box.
#pragma once

#include <string_view>

namespace quirel::msg {

// Captions.
inline constexpr std::string_view kCaption = "卓卷电子书6.1";
inline constexpr std::string_view kCaptionFullClear = "卓卷电子书3.1";
inline constexpr std::string_view kCaptionFramework = "卓卷电子书4.0";
inline constexpr std::string_view kMainDialogTitle = "卓卷电子书 6.1";
inline constexpr std::string_view kProductName = "卓卷电子书";

// Port detection and link.
inline constexpr std::string_view kDetectError =
    "通信设备错误，\n请检查并口连接/确定卓卷电子书已开机/或尝试禁止系统反病毒程序。";
inline constexpr std::string_view kLinkError =
    " 通信设备错误，\n请检查并口连接/确定卓卷电子书已开机/或尝试禁止系统反病毒程序。";
// Another program of ours is using the port; its name and process follow.
inline constexpr std::string_view kPortBusy = "卓卷电子书正被另一个程序使用，请等它结束后再试：\n";
inline constexpr std::string_view kReceiveDataError =
    " 接收数据错误，\n请检查并口连接/确定卓卷电子书已开机/或尝试禁止系统反病毒程序。";

// Device commands.
inline constexpr std::string_view kDirectoryError =
    " 传送目录故障，\n请检查并口连接/确定卓卷电子书已开机/或尝试禁止系统反病毒程序。";
inline constexpr std::string_view kDirectoryCreated = " 创建目录完成!";
inline constexpr std::string_view kEnterDirectoryName = "请输入目录名!";
inline constexpr std::string_view kDirectoryNameNotGbk = "目录名中有不能转换为国标码的字符，请重新输入!";
// The name record holds 16 bytes: 16 letters or digits, 8 Chinese characters.
inline constexpr std::string_view kDirectoryNameTooLong = "目录名太长（最多16个字节，即8个汉字），请重新输入!";
inline constexpr std::string_view kDiagTransport14 = "\n Transport Error!14 ";
inline constexpr std::string_view kDiagTransport15 = "\n Transport Error 15! ";
inline constexpr std::string_view kBitmapOpenFailed = " 打开文件失败，\n请卸载本驱动程序后重新安装！5";
inline constexpr std::string_view kFont1OpenFailed = "打开文件失败，请卸载本驱动程序后重新安装! 1";
inline constexpr std::string_view kFont2OpenFailed = "打开文件失败,\n请卸载本驱动程序后重新安装! 2";
// Under the three boxes above: the file missing, then the folder it was
// looked for in.
inline constexpr std::string_view kSystemFileMissingNote = "缺少系统文件 ";
inline constexpr std::string_view kSystemFileLookedIn = "（在此文件夹中查找：";
inline constexpr std::string_view kSystemFileRemedy =
    "）。\n请把读书机的系统文件 chnstd1j40.bin、chnstd1f40.bin 和 ebbmp40.bin 复制到该文件夹，无需重新安装。";
inline constexpr std::string_view kBitmapCheckFailed = "打开文件失败，请卸载本驱动程序后重新安装! 1";
inline constexpr std::string_view kFont1Label = "chnstd1j40.bin";
inline constexpr std::string_view kFont2Label = "chnstd1f40.bin";
inline constexpr std::string_view kBitmapLabel = "ebpmp40.bin";  // spelled so on screen

// Clear.
inline constexpr std::string_view kQuickClearDone = "电子书快速初始化完毕！";
inline constexpr std::string_view kFullClearDone = "电子书初始化完毕！";
inline constexpr std::string_view kClearDialogTitle = "电子书清空";
inline constexpr std::string_view kClearQuick = "快速清空电子书文件";
inline constexpr std::string_view kClearFull = "全面清空电子书/电话本";
inline constexpr std::string_view kStart = "开始";
inline constexpr std::string_view kCancel = "取消";
inline constexpr std::string_view kClearProgressTitle = "清空电子书";
inline constexpr std::string_view kClearProgressText = "正在清空电子书，请等待 . . . . .";
inline constexpr std::string_view kClearProgressWarning =
    "注意：如果清空过程中断，电子书将不能显示。须等候一分钟后重新清空！";
inline constexpr std::string_view kClearInterrupt = "中断初始化";

// Receive.
inline constexpr std::string_view kReceiveDialogTitle = "接收文件";
inline constexpr std::string_view kReceiveTo = "接收至";
inline constexpr std::string_view kBrowse = "浏览...";
inline constexpr std::string_view kBrowseTitle = "选择接收文件路径";
inline constexpr std::string_view kReceiveCursor = "接收电子书当前光标位置内容";
inline constexpr std::string_view kReceiveAll = "接收电子书全部内容";
inline constexpr std::string_view kStartReceive = "开始接收";
inline constexpr std::string_view kChooseFolder = "请选择文件目录";
inline constexpr std::string_view kBadReceivePath = "接收路径不正确！请重新选择。";
inline constexpr std::string_view kReceiveLinkFailed =
    "数据传送出错，\n请检查并口连接/确定卓卷电子书已开机/或尝试禁止系统反病毒程序。";
inline constexpr std::string_view kReceiveFileError =
    "接收文件出错，\n请检查并口连接/确定卓卷电子书已开机/或尝试禁止系统反病毒程序。";
inline constexpr std::string_view kAllReceived = "所有文件成功接收！";
// The end of a receive that kept local files of the same name: the count of
// files stored goes before it, the kept files' list under its heading.
inline constexpr std::string_view kReceivedSomeKeptSuffix = "个文件接收完成，同名的本地文件保留原样。";
inline constexpr std::string_view kKeptHeading = "以下文件没有接收，本地的同名文件保留原样：";
inline constexpr std::string_view kSomeNotCreated =
    "接收文件过程中有某些文件无法建立，请检查是否：接收路径错/磁盘已满/文件名错误。文件接收完成!";
inline constexpr std::string_view kReceiveInterrupt = "中断接收";
// A received file whose name is taken by a local file of other content.
inline constexpr std::string_view kReplaceFileQuestion = "文件已存在且内容不同，是否替换？";
inline constexpr std::string_view kKeepAll = "全部跳过";

// Send job and per-file transfer.
inline constexpr std::string_view kNothingToSend = "传送文件没有准备好！";
inline constexpr std::string_view kWordError = "Microsoft Word 出错！";
inline constexpr std::string_view kNoWordConvert = "系统没有安装 Microsoft Word,\n不能转化 *.doc 文件为电子书格式！";
inline constexpr std::string_view kTooDeep = " 传送目录已经大于6级,\n下级目录文件将不能被传送";
inline constexpr std::string_view kSomeNotSent = "在传送中遇到无法打开的文件, 这些文件没有被传送！";
inline constexpr std::string_view kFilesSentSuffix = "个文件传送完成！";
// Heads the list of the job's files that did not reach the reader.
inline constexpr std::string_view kNotSentHeading = "以下文件没有传送到电子书：";
// Heads the list of files whose names would be the same in one folder of the
// reader, each with the name it is sent under.
inline constexpr std::string_view kNameCollision = "以下文件在电子书的同一目录中名称相同，\n后面的文件将以新名称传送：";
inline constexpr std::string_view kSendFileError =
    " 传送文件错误，\n请检查并口连接/电子书存储已满/尝试禁止系统反病毒程序。";
// Followed by the file's name: its length does not fit the 24-bit length field.
inline constexpr std::string_view kFileTooLarge = " 文件太大（不能超过16777215字节），\n不能传送到卓卷电子书：";
inline constexpr std::string_view kSendProgressTitle = "文件传送";
inline constexpr std::string_view kSendProgressText = "正在文件传送，请稍候 . . . . . .";
inline constexpr std::string_view kSendInterrupt = "中断传送";
inline constexpr std::string_view kSendFormatTitle = "传送格式";
inline constexpr std::string_view kSendFormatGroup = "传送格式选择";
inline constexpr std::string_view kSendConvert = "传送的文件自动转为电子书格式";
inline constexpr std::string_view kSendKeep = "传送的文件保持原有格式";

// Conversion.
inline constexpr std::string_view kNoDiskSpace1 = "没有足够的磁盘空间！1";
inline constexpr std::string_view kNoDiskSpace2 = "没有足够的磁盘空间！2";
inline constexpr std::string_view kHtmlNonStandard = "该网页文件中包含不标准的符号！\n转化后会丢失部分数据。";
inline constexpr std::string_view kHtmlDiskFull = "磁盘空间已满！,\n请清空部分文件。";
inline constexpr std::string_view kOpenFilePrefix = "打开文件";
inline constexpr std::string_view kOpenFileSuffix = "失败！";
// "文件" + the document's path + one of the reasons below: nothing is
// converted or sent.
inline constexpr std::string_view kDocumentPrefix = "文件";
inline constexpr std::string_view kNotTextSuffix = "不是文本文件，\n不能转化为电子书格式！";
inline constexpr std::string_view kBrokenDocumentSuffix = "已损坏或格式不对，\n不能转化为电子书格式！";
inline constexpr std::string_view kProtectedDocumentSuffix = "有版权保护(DRM)或密码，\n不能转化为电子书格式！";
inline constexpr std::string_view kNoTextDocumentSuffix = "中没有文字（可能只有图片），\n不能转化为电子书格式！";

// Phonebook store.
inline constexpr std::string_view kStoreCreateFailed = "新建电话本文件失败！错误-100\n请卸载本驱动程序后重新安装.";
inline constexpr std::string_view kStoreRecreateFailed = "新建电话本文件失败，\n请卸载本驱动程序后重新安装.";
inline constexpr std::string_view kDamage1 = "电话本数据已被破坏！1 ";
inline constexpr std::string_view kDamage201 = "电话本数据已被破坏！201";
inline constexpr std::string_view kDamage202 = "电话本数据已被破坏！202";
inline constexpr std::string_view kDamage3 = "电话本数据已被破坏！3 \n备份数据文件为tarnviktelcom.bak";
inline constexpr std::string_view kDamage203 = "电话本数据已被破坏！203";
inline constexpr std::string_view kNameEmpty = "姓名不能为空,\n 请重新输入!";
inline constexpr std::string_view kRecordTooLong = "记录长度已超出系统允许值!";
inline constexpr std::string_view kNameExists = "有相同的人名记录!\n 是否替代?";
inline constexpr std::string_view kOpenFileFailed = "    打开文件失败,\n请卸载本驱动程序后重新安装!";
inline constexpr std::string_view kOpenStoreFailed = "   打开电话本文件失败,\n请卸载本驱动程序后重新安装!";
// A typed text with a character that GBK, and so the store, cannot hold.
inline constexpr std::string_view kNameNotGbk = "姓名中有电话本不能保存的字符,\n 请重新输入!";
inline constexpr std::string_view kFieldNotGbk = "记录中有电话本不能保存的字符,\n 请重新输入!";

// Phonebook exchange files.
inline constexpr std::string_view kDiskFull = "磁盘空间已满！\n请清空部分文件。";
inline constexpr std::string_view kOpenTempFailed = "打开临时文件失败！";
// What the reader's phonebook files cannot hold: refused before anything is sent.
inline constexpr std::string_view kExchangeTooManyRecords = "电话本记录超过1024个,\n不能传送到卓卷电子书!";
inline constexpr std::string_view kExchangeRecordTooLong = "电话本中有记录长度超出系统允许值,\n不能传送到卓卷电子书!";
inline constexpr std::string_view kExchangeQueryFull = "电话本中姓名的首字过多,\n不能传送到卓卷电子书!";

// Phonebook window and dialogs.
inline constexpr std::string_view kChooseName = "请选择姓名!";
inline constexpr std::string_view kConfirmDelete = "是否删除记录!";
inline constexpr std::string_view kNameNotFound = "不存在此姓名,\n请重新输入!";
inline constexpr std::string_view kPhonebookTitle = "电话本";
inline constexpr std::string_view kRecordDialogTitle = "详细情况";
inline constexpr std::string_view kFindDialogTitle = "查找";
inline constexpr std::string_view kFindPrompt = "请输入姓名：";
inline constexpr std::string_view kDuplicateTitle = "提示";
inline constexpr std::string_view kDuplicateFound = "发现相同的人名:";
inline constexpr std::string_view kReplace = "替换";
inline constexpr std::string_view kSkip = "跳过";
inline constexpr std::string_view kReplaceAll = "全部替换";
inline constexpr std::string_view kExchangeTitle = "电话本数据通信";
inline constexpr std::string_view kExchangeText1 = "正在传输";
inline constexpr std::string_view kExchangeText2 = "电话本数据,";
inline constexpr std::string_view kExchangeText3 = "请等待 . . . . . .";
inline constexpr std::string_view kNameGroup = "姓名";
inline constexpr std::string_view kAddButton = "添 加";
inline constexpr std::string_view kDeleteButton = "删 除";
inline constexpr std::string_view kEditButton = "编 辑";
inline constexpr std::string_view kFindButton = "查 找";
inline constexpr std::string_view kPhonebookSendButton = "发 送";
inline constexpr std::string_view kPhonebookReceiveButton = "接 收";
inline constexpr std::string_view kPhonebookClearButton = "清 空";
inline constexpr std::string_view kReturnButton = "返 回";
inline constexpr std::string_view kPersonalGroup = "个人";
inline constexpr std::string_view kCompanyGroup = "公司";
inline constexpr std::string_view kNameLabel = "姓名:";
inline constexpr std::string_view kMobileLabel = "手机:";
inline constexpr std::string_view kPhoneLabel = "电话:";
inline constexpr std::string_view kPagerLabel = "传呼:";
inline constexpr std::string_view kAddressLabel = "地址:";
inline constexpr std::string_view kCompanyNameLabel = "名称:";
inline constexpr std::string_view kWebLabel = "网址:";
inline constexpr std::string_view kFaxLabel = "传真:";
inline constexpr std::string_view kEmailLabel = "电邮:";
inline constexpr std::string_view kNoteLabel = "备注:";
inline constexpr std::string_view kSaveRecordButton = "存贮";
inline constexpr std::string_view kRecordReturnButton = "返回";
inline constexpr std::string_view kConfirm = "确认";
// The find searches with at most 9 bytes after the list's leading space.
inline constexpr std::string_view kFindTextTooLong = "查找的姓名太长,\n 最多输入4个汉字或9个字母!";

// Phonebook transfer.
inline constexpr std::string_view kExchangeBuildFailed = "电话本数据初始化出错！";
inline constexpr std::string_view kOpenIndexFailed = "打开电话本索引文件出错！";
inline constexpr std::string_view kSendIndexFailed = "传送电话本索引数据出错！";
inline constexpr std::string_view kOpenQueryFailed = "打开电话本查询文件出错！";
inline constexpr std::string_view kSendQueryFailed = "传送电话本查询数据出错！";
inline constexpr std::string_view kOpenDataFailed = "打开电话本文件出错！";
inline constexpr std::string_view kSendDataFailed = "传送电话本数据出错！";
inline constexpr std::string_view kPhonebookSent = "电话本数据传送成功！";
// The "/n" is two characters, not a line break.
inline constexpr std::string_view kPhonebookReceiveRefused =
    "数据接收失败，/n请检查并口连接/确定卓卷电子书已开机/或尝试禁止系统反病毒程序。";
inline constexpr std::string_view kNoDiskSpace = "没有足够的磁盘空间！";
inline constexpr std::string_view kNoDiskSpace3 = "没有足够的磁盘空间!3";
inline constexpr std::string_view kReceiveIndexError = "接收电话本索引文件出错！";  // + "1".."4"
inline constexpr std::string_view kReceiveQueryError = "接收电话本查询文件出错！";  // + "1".."4"
inline constexpr std::string_view kReceiveDataFileError = "接收电话本文件出错！";   // + "1".."4"
inline constexpr std::string_view kReaderHasNoPhonebook = "卓卷电子书中没有电话本记录 ！1";
inline constexpr std::string_view kReceiveByteError1 = "接收字节错误 1!";
inline constexpr std::string_view kReceiveByteError2 = "接收字节错误 2 !";
inline constexpr std::string_view kReceiveByteError3 = "接收字节错误 3 !";
inline constexpr std::string_view kPhonebookReceived = "电话本数据接收成功!";
// Heads the list of received records the phonebook's rules kept out, each
// with its reason.
inline constexpr std::string_view kRecordsRefusedHeading = "以下记录不合电话本的规则，没有存入：";
inline constexpr std::string_view kRefusedNoName = "（姓名为空）";
inline constexpr std::string_view kRefusedTooLong = "（记录太长）";
inline constexpr std::string_view kConfirmClearPhonebook = "确认是否清空卓卷电子书中的电话本?";
inline constexpr std::string_view kPhonebookCleared = "电话本数据已被清空！";

// Start-up.
inline constexpr std::string_view kNoBrowserPreview = "若需使用本软件的预览功能,请安装 IE4.0以上版本的 WEB 浏览器!";
inline constexpr std::string_view kNoBrowserHelp = "若需使用本软件的帮助和预览功能,请安装 IE4.0以上版本的 WEB 浏览器!";

// Main dialog.
inline constexpr std::string_view kConfirmExit = "是否退出?";
inline constexpr std::string_view kPhonebookButton = "电话本";
inline constexpr std::string_view kPreviewButton = "文件字体";
inline constexpr std::string_view kHelpButton = "帮  助";
inline constexpr std::string_view kSendButton = "传送电子书文件";
inline constexpr std::string_view kCreateDirectoryButton = "创建电子书目录";
inline constexpr std::string_view kReceiveButton = "接收电子书文件";
inline constexpr std::string_view kClearButton = "清空电子书";
inline constexpr std::string_view kExitButton = "退  出";
inline constexpr std::string_view kCurrentFileName = "当前文件名:";
inline constexpr std::string_view kCreateDirectoryTitle = "创建电子书目录";
inline constexpr std::string_view kCreateDirectoryPrompt = "请输入待创建目录名:";
inline constexpr std::string_view kCreateDirectoryHint = "(最多16个字符)";
inline constexpr std::string_view kCreate = "创建";

// Preview.
inline constexpr std::string_view kChoosePreviewFile = "请从右上框中选择一个准备预览的文件!";
inline constexpr std::string_view kCannotPreviewType = "不能直接预览该类文件！\n请转化为电子书格式预览。";
inline constexpr std::string_view kNoWordPreview = "系统没有安装 Microsoft Word,\n不能预览 *.doc 文件！";

// The line the window adds under a box whose advice speaks of another
// system: what is true on this one.
inline constexpr std::string_view kNoteWordHere =
    "在本系统上由 LibreOffice 代替 Microsoft Word 读取 Word 文档：请安装 LibreOffice（程序 soffice，"
    "或以环境变量 QUIREL_SOFFICE 指明）。";
inline constexpr std::string_view kNoteWordFailedHere = "LibreOffice 未能读出这个文档：文档可能已损坏或受密码保护。";
inline constexpr std::string_view kNoteBrowserHere =
    "在本系统上由窗口内的网页视图代替 IE 显示帮助和预览；它已被关闭（环境变量 QUIREL_NO_BROWSER）。";
inline constexpr std::string_view kNoteLinkHere = "本系统上不必关闭反病毒程序：请确认读书机已开机、并口线已插好。";
inline constexpr std::string_view kNoteReinstallHere = "本系统上不必重新安装：请确认程序目录存在、可写，且磁盘未满。";
inline constexpr std::string_view kPreviewFailed = " 打开预览文件出错！";
inline constexpr std::string_view kPreviewFormatTitle = "预览格式";
inline constexpr std::string_view kPreviewFormatGroup = "预览格式选择";
inline constexpr std::string_view kPreviewKeep = "保持文件原有格式预览";
inline constexpr std::string_view kPreviewConvert = "转化为电子书格式预览";
inline constexpr std::string_view kFontGroup = "字体选择";
inline constexpr std::string_view kLargeFont = "大字体";
inline constexpr std::string_view kSmallFont = "小字体";

// Folder tree and file pane.
inline constexpr std::string_view kMyComputer = "我的电脑";
inline constexpr std::string_view kAddFiles = "添    加";
inline constexpr std::string_view kAddAllFiles = "添加全部";
inline constexpr std::string_view kRemoveEntry = "删    除";
inline constexpr std::string_view kRemoveAllEntries = "删除全部";
inline constexpr std::string_view kFilterAll = "所有类型文件(*.*)";
inline constexpr std::string_view kFilterText = "文本类型文件(*.txt)";
inline constexpr std::string_view kFilterWeb = "超文本类型文件(*.htm)";
inline constexpr std::string_view kFilterWord = "WORD文档(*.doc)";
inline constexpr std::string_view kFilterBooks = "电子书类型文件(*.epub;*.mobi;*.azw3;*.fb2;*.pdf)";
inline constexpr std::string_view kFilterCustom = "自定义类型文件";
inline constexpr std::string_view kCustomTypeTitle = "自定义文件类型";
inline constexpr std::string_view kCustomTypePrompt = "输入自定义文件类型:";
inline constexpr std::string_view kCustomTypeHint = "格式为(*. XXX)";

}  // namespace quirel::msg
