#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "generation/plan/item.h"

namespace mivo {

/// What the pages of a run print that is the same for every album, taken from the settings
/// once. Numbers stay numbers until a page writes them.
struct PagePlan {
    std::string title;                 // TextTitle
    std::string titleS;                // TextTitleS: the picture page's sub-title in every album
    std::string body;                  // TextBody: a whole body tag, markup
    std::string link0Name;             // TextLinkName(0)
    std::string link0Url;              // TextLinkURL(0), for an album that is not listed on another
    std::string slideTime;             // TextSlideTime, as the user wrote it
    bool slideShow = false;            // CheckSlideShow
    bool startWithList = true;         // OptionStart(0): the index page opens the list view
    std::string columns;               // TextAllListWidth: pictures per row, as the user wrote it
    long long thumbWidth = 0;          // TextSamWidth: the thumbnail box as the user set it
    long long thumbHeight = 0;         // TextSamHeight
    long long filelistWidthColumn = 0; // TextFilelistWidth: field number, 0 = none
    long long filelistHeightColumn = 0; // TextFilelistHeight
    bool shootingData = false;          // CheckExif
    // The shooting data is read from the headers: for the pages, or for the dates a folder
    // tree's albums show (its pages print it only with shootingData).
    bool readsShootingData = false;
    // CheckCaption: a picture without a caption in filelist.csv shows the description it holds.
    bool fileCaptions = false;
};

/// An album on the way from the root of a folder tree: its name and its index page.
struct AlbumStep {
    std::string name;
    std::string indexPage;
};

/// The links to originals lead into the picture folder, where the originals are.
inline constexpr int kOriginalsLinked = 0;
/// The originals are placed in the page folder (originals/), so that it holds all a page links.
inline constexpr int kOriginalsInSite = 1;
/// No original is linked: a download gives the display copy, a video its web video; only an
/// item shown as it is (no copies, a video that plays as it is) is placed as in kOriginalsInSite.
inline constexpr int kOriginalsWithheld = 2;

/// The values one album's pages print and how its items are shown, decided by its planner
/// (every value a page prints is here or in the run's PagePlan).
struct AlbumJob {
    int number = 0;    // its place among its parent's children, from 1 (folder "001"); 0: a root
    int barShares = 0; // albums that share the progress bar from 5 to 95 equally; 0: it has the
                       // bar to itself (rescaled to its pictures, then 90 and 100)
    std::string name;  // shown as its sub-title: TextTitleS, or its name in the gallery list
    std::string picPath;
    bool useThumbnails = false; // its pictures' thumbnails come from samPath
    std::string samPath;
    std::string link1Name; // the previous album among its siblings
    std::string link1Url;
    std::string link2Name; // the next one
    std::string link2Url;
    bool useFilelist = false; // filelist.csv is read; the check turns it off when it cannot be
    // A filelist.csv that is there but cannot be used is told and stops the run; otherwise the
    // album is made without it.
    bool strictFilelist = false;
    bool makeCopies = false; // Mivo makes the thumbnails and display copies itself
    bool media = false; // with copies: HEIC/AVIF/PNG/WebP/TIFF pictures and videos are shown too
    // With media: a still and the short video of its name (a Live Photo) are one item.
    bool livePhotos = false;
    /// Where the links to its originals lead (元の画像/保存, videos that play as they are,
    /// pictures shown without copies): kOriginalsLinked, kOriginalsInSite, kOriginalsWithheld.
    int originals = 0;
    std::string startName; // the item its picture view starts with; "" for the first
    // Its name and its neighbours' come from a list or a folder: text, never markup. The
    // user's own title settings go in as they are.
    bool namesAreText = false;
    // The page that lists it among its siblings (its parent's index of its children): link 0
    // leads back there, and its entry there (its cover) is linked from there. "": link 0 is the
    // user's, and no page lists it.
    std::string upPage;
    // An album of a folder tree: its pages show where it is (`trail`, from the root to itself)
    // and list its sub-albums, so its children are made before its own pages.
    bool inTree = false;
    std::vector<AlbumStep> trail;
    std::string coverName; // the item that is its cover on its parent's page, before the first
    // A check that fails leaves this album out (named at the run's end) instead of ending the
    // run: a folder of a tree may be unreadable or emptied while the run looks at it.
    bool leftOutWhenUnchecked = false;
    bool naturalOrder = false; // its items in natural name order (IMG_2 before IMG_10)
    bool dateOrder = false;    // a folder tree's: its items and albums by date taken, then by name
};

/// Where an album's pages go, as its planner put it. The paths are worked out from these when
/// the album is made (mainGetMakePath), with the same steps the log has always shown.
struct AlbumPlace {
    // Its own folder: `folderName` inside the folder of `page` joined with `subFolder`, made
    // when missing. Its index page is index.html there; its pages link each other as
    // "./index.html", "./list.html" and "./pict.html".
    bool ownFolder = false;
    // Its index page; its list and picture pages (and its copies) lie in that page's folder
    // joined with `subFolder`. For an album with its own folder: the page beside its folder.
    std::string page;
    std::string subFolder;
    std::string folderName;
};

/// Where one album's pages went and how they link to each other.
struct OutputPaths {
    std::string strIndexPath;
    std::string strListPath;
    std::string strPictPath;
    std::string strIndexLink;
    std::string strListLink;
    std::string strPictLink;
};

/// One album of a run: what its planner decided, what the check lists, and its place in the
/// tree. The run walks the tree depth first: the album's own pages, then its children, then
/// its index of its children.
struct Album {
    AlbumJob job;
    AlbumPlace place;
    // It shows the items of a picture folder (list, index and picture page). false for an
    // album of albums only, such as the gallery list's root, which is its index of children.
    bool showsFolder = true;
    PictureList items;        // listed by the check, freed once its pages are written
    std::string filelistHead; // filelist.csv's heading, when it was read
    OutputPaths paths;        // where its pages went (mainGetMakePath)
    // Its index of its children (the menu page), and the folder below that page's folder that
    // holds their folders. Empty without children.
    std::string childrenPage;
    std::string childrenSubFolder;
    Album* parent = nullptr;
    std::vector<std::unique_ptr<Album>> children;
    // With dateOrder, once checked: the earliest date of its items and albums ("" for none).
    std::string orderDate;

    /// A new child at the end of its children.
    Album& addChild();
};

/// The top page of a run (the root's first page) and the page folder below it: the check keeps
/// them off the templates and makes their folders, and the run holds them against other runs.
struct TopPage {
    std::string page;              // the index page (a single folder) or the menu page
    std::string subFolder;         // the page folder below the top page's folder; "" for beside it
    const char* setting = nullptr; // the setting that names the page, for the user's messages
};

/// The whole of a run, as a planner made it from the settings.
struct RunPlan {
    PagePlan pages;
    TopPage top;
    std::unique_ptr<Album> root = std::make_unique<Album>();
    // The settings make no run: the message that says why (nothing else is planned).
    const char* refusal = nullptr;
    // Folders of a tree the planner could not read or would not follow, with why (composed
    // in Japanese, "path: reason"); their albums are left out and the run's end names them.
    std::vector<std::pair<std::string, std::string>> leftOutFolders;
};

/// True when a page path names a file: not empty and not ending in a separator.
bool hasPageName(const std::string& path);

/// The folder of the top page's other pages: the top page's folder joined with its page folder.
std::string pageFolderOf(const TopPage& top);

} // namespace mivo
