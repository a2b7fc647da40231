#include "settings/config_dialog_image_page.h"

#include "settings/config_dialog_ids.h"

#include <string>

using Brivox::CConfig;
using Kind = CConfigDialogTabBase::BindingKind;

namespace {

const CConfigDialogTabBase::SBinding Bindings[] = {
    {Kind::Check, L"FileSizeLimit", {IDC_IMG_FILE_SIZE_LIMIT}},
    {Kind::DecimalEdit, L"FileSizeLimitMin", {IDC_IMG_FILE_SIZE_MIN}},
    {Kind::DecimalEdit, L"FileSizeLimitMax", {IDC_IMG_FILE_SIZE_MAX}},
    {Kind::IntegerEdit, L"JpgQuality", {IDC_IMG_JPEG_QUALITY}},
    {Kind::IntegerEdit, L"PngCompressLevel", {IDC_IMG_PNG_LEVEL}},
    {Kind::Check, L"ImageSizeLimit", {IDC_IMG_PIXEL_LIMIT}},
    {Kind::DecimalEdit, L"ImageSizeLimitPixel.cx", {IDC_IMG_PIXEL_WIDTH}},
    {Kind::DecimalEdit, L"ImageSizeLimitPixel.cy", {IDC_IMG_PIXEL_HEIGHT}},
    {Kind::Check, L"ImageSizeLimitCmpArea", {IDC_IMG_PIXEL_BY_AREA}},
    {Kind::Check, L"ImageCache", {IDC_IMG_CACHE}},
    {Kind::IntegerEdit, L"ImageCacheAutoMax", {IDC_IMG_CACHE_MAX}},
    {Kind::IntegerEdit, L"ImageCacheAutoLimitRate", {IDC_IMG_CACHE_RATE}},
    {Kind::IntegerEdit, L"ImageCacheAutoBaseW", {IDC_IMG_CACHE_BASE_WIDTH}},
    {Kind::IntegerEdit, L"ImageCacheAutoBaseH", {IDC_IMG_CACHE_BASE_HEIGHT}},
    {Kind::Check, L"StretchCaching", {IDC_IMG_STRETCH_CACHE}},
    {Kind::Check, L"LoaderCaching", {IDC_IMG_LOADER_CACHE}},
    {Kind::Check, L"ReduceOnLoad", {IDC_IMG_REDUCE}},
    {Kind::SizePair, L"ReduceOnLoadSize", {IDC_IMG_REDUCE_WIDTH, IDC_IMG_REDUCE_HEIGHT}},
    {Kind::Check, L"ReduceOnLoadBySpace", {IDC_IMG_REDUCE_BY_AREA}},
};

const CConfigDialogTabBase::STooltip Tooltips[] = {
    {{IDC_IMG_FILE_SIZE_LIMIT}, L"小さ過ぎるファイルや大き過ぎるファイルを読み込まないように設定します。"},
    {{IDC_IMG_FILE_SIZE_MIN}, L"読み込む最低のファイルサイズを指定します。"},
    {{IDC_IMG_FILE_SIZE_MAX}, L"読み込む最高のファイルサイズを指定します。"},
    {{IDC_IMG_JPEG_QUALITY},
     L"「JPEGファイルとして書き出す」の際のJPEGファイルの品質を指定します。(0 ～ 100)"},
    {{IDC_IMG_PNG_LEVEL},
     L"PNGの圧縮レベルを指定します。\r\n"
     L"0が無圧縮、9が最高圧縮で、圧縮率が高いほど処理に時間やメモリが必要です。\r\n"
     L"-1にするとデフォルト値(6)が使われます。"},
    {{IDC_IMG_PIXEL_LIMIT}, L"最低横幅と最低縦幅を指定し、それより小さいファイルを表示しないようにします。"},
    {{IDC_IMG_PIXEL_WIDTH, IDC_IMG_PIXEL_HEIGHT}, L"最低サイズを指定します。(横 x 縦）"},
    {{IDC_IMG_PIXEL_BY_AREA}, L"横幅と縦幅を別々にではなく、面積でのみ比較を行います。"},
    {{IDC_IMG_CACHE}, L"次以降の画像を先読みしてページ送りを高速化する処理を行います。"},
    {{IDC_IMG_CACHE_MAX}, L"十分にメモリが空いている場合に使用するキャッシュ枚数を指定します。"},
    {{IDC_IMG_CACHE_RATE},
     L"空きメモリのうち、Kanoruが使用する割合を指定します。\r\n"
     L"Kanoruを複数起動する場合や、空きメモリを多めに残しておきたい場合は、低めの値を設定します。"},
    {{IDC_IMG_CACHE_BASE_WIDTH, IDC_IMG_CACHE_BASE_HEIGHT},
     L"キャッシュ枚数を算出するための基準となる画像の大きさを指定します。\r\n見開き時は単純に２倍されます。"},
    {{IDC_IMG_STRETCH_CACHE},
     L"キャッシュへの先読みと同時に、拡大・縮小処理後のデータも作成してキャッシュします。メモリ使用量が倍増し"
     L"ますが、"
     L"ページ送りがほんのり早くなるような気がします。\r\n"
     L"最大枚数の倍以上のキャッシュが使用可能な場合にのみ有効になります。\r\n"
     L"実際に有効になっているかどうかは、「ヘルプ→バージョン情報」で確認可能です。"},
    {{IDC_IMG_LOADER_CACHE},
     L"先読みとは別に、ファイル読み込み処理を並列化・キャッシュ処理します。メモリ使用量が倍増しますが、ネット"
     L"ワーク経由"
     L"などの場合に、少しページ送りが快適になる場合があります。\r\n"
     L"ただし、ファイルの内容が更新されたことを検出しないので、必要があれば編集→再読込（デフォルトではF5キー"
     L"）を使用"
     L"してください。\r\n"
     L"最大枚数の倍以上のキャッシュが使用可能な場合にのみ有効になります。\r\n"
     L"実際に有効になっているかどうかは、「ヘルプ→バージョン情報」で確認可能です。"},
    {{IDC_IMG_REDUCE},
     L"大きすぎる画像は、読み込み時に縮小してしまうことで、メモリの節約・高速化を行います。\r\n"
     L"元の画像は保持されないため、画像の書き出しなどを行う際には注意してください。\r\n"
     L"また、画像情報やタイトルバーに表示される画像のサイズなどは、縮小後の画像に対する値となります。"},
    {{IDC_IMG_REDUCE_WIDTH, IDC_IMG_REDUCE_HEIGHT}, L"最大サイズを指定します。(横 x 縦）"},
    {{IDC_IMG_REDUCE_BY_AREA},
     L"オフの場合は、最大サイズをはみ出ないように縮小されますが、オンの場合は面積が最大サイズ"
     L"以下に収まるようになります。"},
};

} // namespace

std::int64_t PageMegabytes(int width, int height)
{
    // (w * h * 4 + 512 KiB) / 1 MiB with the 4 taken out of both sides, so that even the product of
    // two extreme ints stays inside 64 bits; the quotient truncates toward zero as the sizes'.
    const std::int64_t pixels = static_cast<std::int64_t>(width) * height;
    return (pixels + 131072) / 262144;
}

CConfigDialogImagePage::CConfigDialogImagePage()
    : CConfigDialogTabBase(IDD_CONFIG_IMAGE_PAGE, Bindings, Tooltips)
{
}

bool CConfigDialogImagePage::HookMessage(Brivox::SMessage& message)
{
    if (message.message != WM_COMMAND)
        return CConfigDialogTabBase::HookMessage(message);
    UpdateEnables();
    switch (LOWORD(message.wParam)) {
    // Load's texts reach here too, as the edits' change notices, so both estimates show at once.
    case IDC_IMG_CACHE_BASE_WIDTH:
    case IDC_IMG_CACHE_BASE_HEIGHT:
        ShowEstimate(IDC_IMG_CACHE_BASE_WIDTH, IDC_IMG_CACHE_BASE_HEIGHT, IDC_IMG_CACHE_ESTIMATE);
        return true;
    case IDC_IMG_REDUCE_WIDTH:
    case IDC_IMG_REDUCE_HEIGHT:
        ShowEstimate(IDC_IMG_REDUCE_WIDTH, IDC_IMG_REDUCE_HEIGHT, IDC_IMG_REDUCE_ESTIMATE);
        return true;
    default:
        return false;
    }
}

void CConfigDialogImagePage::Load(CConfig& config)
{
    CConfigDialogTabBase::Load(config);
    UpdateEnables();
}

void CConfigDialogImagePage::UpdateEnables()
{
    const bool fileSizeLimit = Item(IDC_IMG_FILE_SIZE_LIMIT).IsChecked();
    for (const int id : {IDC_IMG_FILE_SIZE_MIN, IDC_IMG_FILE_SIZE_MAX})
        Item(id).Enable(fileSizeLimit);
    const bool pixelLimit = Item(IDC_IMG_PIXEL_LIMIT).IsChecked();
    for (const int id : {IDC_IMG_PIXEL_WIDTH, IDC_IMG_PIXEL_HEIGHT, IDC_IMG_PIXEL_BY_AREA})
        Item(id).Enable(pixelLimit);
    const bool cache = Item(IDC_IMG_CACHE).IsChecked();
    for (const int id : {IDC_IMG_CACHE_MAX, IDC_IMG_CACHE_RATE, IDC_IMG_CACHE_BASE_WIDTH,
                         IDC_IMG_CACHE_BASE_HEIGHT, IDC_IMG_STRETCH_CACHE})
        Item(id).Enable(cache);
    const bool reduce = Item(IDC_IMG_REDUCE).IsChecked();
    for (const int id : {IDC_IMG_REDUCE_WIDTH, IDC_IMG_REDUCE_HEIGHT, IDC_IMG_REDUCE_BY_AREA})
        Item(id).Enable(reduce);
}

void CConfigDialogImagePage::ShowEstimate(int widthId, int heightId, int estimateId)
{
    const std::int64_t megabytes = PageMegabytes(Item(widthId).GetInt(), Item(heightId).GetInt());
    Item(estimateId).SetText(L"(約" + std::to_wstring(megabytes) + L"MB/枚)");
}
