#pragma once
// Form1: the main window. It owns its controls, the run flags and the run
// totals, and runs a listing on the GUI thread, handling its own events from
// inside the scan so that Stop, the tabs and repaints work during a run.
#include <windows.h>

#include <chrono>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "foldertree/folder_tree_pane_win.h"
#include "listing/scan/folder_scan.h"
#include "listing/listing_types.h"
#include "mainwindow/form1_layout.h"
#include "platform/desktop_services.h"
#include "listing/volume/file_table_choice.h"
#include "platform/file_system.h"
#include "platform/folder_volume.h"
#include "platform/message_sink.h"
#include "platform/win32/unique_handle.h"
#include "skin/cls_skinner_win.h"

namespace tf::mainwindow {

// What Form1 asks of the world. Null services are replaced by the real
// Win32 ones when the window is created; tests pass recorders.
struct Form1Services {
    platform::MessageSink* messages = nullptr;
    platform::ProgramLauncher* launcher = nullptr;
    platform::FileDialog* fileDialog = nullptr;
    platform::FileOperations* files = nullptr;
    platform::FileSystem* fileSystem = nullptr;
    // Where a folder lies and how its volume is opened, to list a folder on
    // a local NTFS volume from the volume's file table; null: the system's.
    std::function<platform::FolderVolume(const std::string&)> volumeOf;
    listing::volume::VolumeOpener openVolume;
    std::string appFolder;     // reports and button images; empty: the executable's folder
    bool quitOnDestroy = true;  // end the message loop when the window goes
};

// Status panel 1 after a completed run.
inline constexpr char kDoneText[] = "Done.  You can save the Tallyfold.";
inline constexpr char kNoFolderText[] = "A valid folder must be specified.";

class Form1 final : private listing::ScanHost {
public:
    explicit Form1(Form1Services services = {});
    ~Form1() override;
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Creates the window and its controls in their initial state, hidden.
    bool Create(HINSTANCE instance);
    HWND hwnd() const { return hwnd_; }
    HWND Item(Control c) const { return controls_[Index(c)]; }

    // Keyboard access for the window's controls (Tab, Enter on Start,
    // Ctrl+Tab between the pages). The message loop calls this before
    // translating a message; true means it was handled.
    bool PreTranslateMessage(MSG& msg);

    // For the folder tree: a node click sets the source folder and panel 1;
    // the tree's notifications arrive through the handler.
    HWND TreeView() const { return Item(Control::TreeView1); }
    void SetSourceFolder(const std::string& text);
    void SetStatusText(const std::string& text);
    std::string StatusText() const;
    using NotifyHandler = std::function<bool(const NMHDR& header, LRESULT& result)>;
    void SetTreeNotifyHandler(NotifyHandler handler) { treeNotify_ = std::move(handler); }
    // The folder tree behind TreeView1, once start-up has built it.
    foldertree::FolderTreePane* FolderTree() const { return folderTree_.get(); }

    bool running() const { return running_; }
    bool started() const { return started_; }
    bool stopped() const { return stopped_; }
    // True from the start of a run until its scan has returned, also while a
    // stopped scan unwinds.
    bool scanActive() const { return scanActive_; }
    const listing::RunTotals& totals() const { return totals_; }
    const std::string& appFolder() const { return appFolder_; }
    // The report file of an output format text ("Text", "HTML"); empty for
    // any other text.
    // Where a run of this format writes its report, and where its listing
    // goes (the same but for a comparison, which lists to JSON Lines).
    std::string ReportPath(const std::string& formatText) const;
    std::string ListingPath(const std::string& formatText) const;
    // Writes and opens the page of what changed since `earlier`.
    void ShowChanges(const std::string& earlier, const std::string& listing);
    int dpi() const { return dpi_; }
    skin::ClsSkinner* Skinner() const { return skinner_.get(); }
    // The picture a run button shows (owned by the window), or null.
    HBITMAP CommandPicture(Control button) const;

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    void OnCommand(int id, int code);
    LRESULT OnNotify(const NMHDR& header);
    LRESULT OnCtlColorStatic(HDC dc, HWND control);
    bool OnSetCursor(HWND over);
    void OnClose();
    void OnDestroy();

    // Controls and layout (form1_controls_win.cpp).
    void CreateFonts();
    bool CreateControls();
    HWND CreateControl(Control c, HWND parent, const char* className, const char* text, DWORD style,
                       DWORD exStyle, const TwipRect& where, int extraHeightTwips = 0);
    // Where a control goes at the window's DPI.
    PixelRect PixelPlace(Control c) const;
    // A move to a monitor of another scale (form1_dpi_win.cpp): fonts,
    // places and pictures at the new DPI, the window at the suggested place.
    void OnDpiChanged(int dpi, const RECT& suggested);
    void CreateToolTips();
    void FitToCaption(HWND box);
    void Form_Load();
    // Start-up steps (form1_skin_win.cpp, form1_startup_win.cpp).
    void AttachSkin();
    void SetWindowIcons();
    void BuildFolderTree();
    // Picture buttons (form1_buttons_win.cpp).
    void DrawButtonPictures();
    bool OnDrawItem(const DRAWITEMSTRUCT& item);
    std::string Text(Control c) const;

    // The About page (form1_about_win.cpp).
    void CreateAboutPage();
    void DrawLogo();
    void Label5_Click();
    void Label6_Click();
    void logo_Click();

    // Run control (form1_run_win.cpp).
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void saveas_Change();
    void TabStrip1_Click();
    void MarkBold(std::optional<Control> button);
    void EnableOptions(bool enable);
    listing::ListingOptions ReadOptions(const std::string& source) const;

    // listing::ScanHost
    void SetStatus(const std::string& text) override;
    void PumpEvents() override;
    bool Stopped() override { return stopped_; }

    Form1Services services_;
    std::unique_ptr<platform::MessageSink> ownMessages_;
    std::unique_ptr<platform::ProgramLauncher> ownLauncher_;
    std::unique_ptr<platform::FileDialog> ownFileDialog_;
    std::unique_ptr<platform::FileOperations> ownFiles_;
    std::unique_ptr<platform::FileSystem> ownFileSystem_;
    std::string appFolder_;

    HWND hwnd_ = nullptr;
    HWND toolTips_ = nullptr;
    HWND lastFocus_ = nullptr;
    std::array<HWND, kControlCount> controls_{};
    // Each control's designed place, and in its height what a drop-down
    // list adds.
    struct Placement {
        TwipRect where{};
        int extraHeightTwips = 0;
    };
    std::array<Placement, kControlCount> places_{};
    int dpi_ = 96;
    platform::win32::UniqueFont font_;
    platform::win32::UniqueFont boldFont_;
    platform::win32::UniqueFont titleFont_;
    platform::win32::UniqueFont linkFont_;
    NotifyHandler treeNotify_;
    platform::win32::UniqueIcon smallIcon_;
    std::array<platform::win32::UniqueBitmap, 3> commandPictures_;  // Command1 to Command3
    std::unique_ptr<foldertree::FolderTreePane> folderTree_;
    // Draws the window's frame for the window's whole life.
    std::unique_ptr<skin::ClsSkinner> skinner_;

    // Run flags and totals.
    bool running_ = false;
    bool started_ = false;
    bool stopped_ = false;
    bool scanActive_ = false;
    bool closeRequested_ = false;
    DWORD lastProgressTick_ = 0;
    std::chrono::steady_clock::time_point lastPump_{};
    unsigned pumpCalls_ = 0;
    std::optional<Control> bold_;
    listing::RunTotals totals_;
};

}  // namespace tf::mainwindow
