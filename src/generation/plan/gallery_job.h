#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace mivo {

// Only planRun reads the settings and the gallery list; what it makes of them is all the run
// and its pages see.
struct Settings;
struct GalleryEntry;

/// What the pages of a run print that is the same for every gallery, taken from the settings
/// once. Numbers stay numbers until a page writes them.
struct PagePlan {
    std::string title;                 // TextTitle
    std::string titleS;                // TextTitleS: the picture page's sub-title in both modes
    std::string body;                  // TextBody: a whole body tag, markup
    std::string link0Name;             // TextLinkName(0)
    std::string link0Url;              // TextLinkURL(0); in menu mode link 0 leads to the menu page
    std::string slideTime;             // TextSlideTime, as the user wrote it
    bool slideShow = false;            // CheckSlideShow
    bool startWithList = true;         // OptionStart(0): the index page opens the list view
    std::string startName;             // gstrStartName: the picture the picture view starts with
    std::string columns;               // TextAllListWidth: pictures per row, as the user wrote it
    long long thumbWidth = 0;          // TextSamWidth: the thumbnail box as the user set it
    long long thumbHeight = 0;         // TextSamHeight
    long long filelistWidthColumn = 0; // TextFilelistWidth: field number, 0 = none
    long long filelistHeightColumn = 0; // TextFilelistHeight
    bool shootingData = false;          // CheckExif
    bool menuMode = false;
    std::string menuPath;     // gstrMenuPath: the menu page (menu mode)
    std::string menuHtmlPath; // gstrMenuHtmlPath: the galleries' folder below the menu page
    std::string indexPath;    // gstrIndexPath: the index page (single mode)
    std::string htmlPath;     // gstrHtmlPath: the page folder below the index page
};

/// One gallery of a Make run, described once: the single gallery, or one row of the gallery
/// list in menu mode. Every value its pages print is here or in `pages`.
struct GalleryJob {
    bool menu = false; // a gallery of menu mode (numbered folder, menu entry)
    int number = 0;    // 1-based row in menu mode; 0 for the single gallery
    int galleries = 1; // galleries in the run: each takes its share of the progress bar
    std::string name;  // shown as its sub-title: TextTitleS, or the row's name in menu mode
    std::string picPath;
    bool useThumbnails = false; // its pictures' thumbnails come from samPath
    std::string samPath;
    std::string link1Name; // the previous gallery in menu mode
    std::string link1Url;
    std::string link2Name; // the next gallery in menu mode
    std::string link2Url;
    bool useFilelist = false; // filelist.csv is read; the check turns it off when unusable
    bool makeCopies = false;  // Mivo makes the thumbnails and display copies itself
    bool media = false; // with copies: HEIC/AVIF/PNG/WebP/TIFF pictures and videos are shown too
    PagePlan pages;
};

/// Where one gallery's pages go and how they link to each other.
struct OutputPaths {
    std::string strIndexPath;
    std::string strListPath;
    std::string strPictPath;
    std::string strIndexLink;
    std::string strListLink;
    std::string strPictLink;
};

/// The whole of a run: what its galleries share, the galleries, and where the top page goes.
struct RunPlan {
    PagePlan pages;
    std::vector<GalleryJob> galleries; // one in single mode, one per list row in menu mode
    bool useFilelist = false;          // CheckUseFileList
};

/// The run made from the settings: one gallery in single mode, one per list row in menu mode,
/// with the previous and next galleries as links 1 and 2.
RunPlan planRun(const Settings& settings, const std::vector<GalleryEntry>& rows);

/// The top page of a run: the index page (single mode) or the menu page.
const std::string& topPageOf(const PagePlan& pages);

/// The folder of the top page's other pages: the folder of the index page (single mode) or of
/// the menu page, joined with the relative page folder setting.
std::string pageFolderOf(const PagePlan& pages);
std::string pageFolderOf(const Settings& settings);

} // namespace mivo
