// Dialogs from templates (DLGTEMPLATE and DLGTEMPLATEEX), modal and modeless, with the controls they are
// made of: static texts and frames, single-line edits, push buttons, check boxes, group boxes and list boxes.
// They are windows of the layer, drawn with its GDI and fonts; the keyboard moves between their controls as
// IsDialogMessageW says.
#pragma once

#include "win32/msgbox.h"
#include "win32/user.h"

namespace win32 {

using DLGPROC = INT_PTR (*)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Dialog styles.
constexpr DWORD DS_SETFONT = 0x40;
constexpr DWORD DS_MODALFRAME = 0x80;
constexpr DWORD DS_CENTER = 0x800;
constexpr DWORD WS_GROUP = 0x00020000;

// Dialog window extra bytes (64-bit layout): the result of the last message, the procedure, a user word.
constexpr int DWLP_MSGRESULT = 0;
constexpr int DWLP_DLGPROC = 8;
constexpr int DWLP_USER = 16;

// Messages of dialogs and their controls.
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_NEXTDLGCTL = 0x0028;
constexpr UINT WM_GETDLGCODE = 0x0087;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_CTLCOLOREDIT = 0x0133;
constexpr UINT WM_CTLCOLORBTN = 0x0135;
constexpr UINT WM_CTLCOLORDLG = 0x0136;
constexpr UINT WM_CTLCOLORSTATIC = 0x0138;
constexpr UINT WM_NOTIFY = 0x004E;
constexpr UINT DM_GETDEFID = WM_USER + 0;
constexpr UINT DM_SETDEFID = WM_USER + 1;
constexpr WORD DC_HASDEFID = 0x534B;

// The head of what WM_NOTIFY points to.
struct NMHDR {
    HWND hwndFrom;
    UINT_PTR idFrom;
    UINT code;
};

// What a control asks of the dialog's keyboard handling (WM_GETDLGCODE).
constexpr LRESULT DLGC_WANTARROWS = 0x0001;
constexpr LRESULT DLGC_WANTTAB = 0x0002;
constexpr LRESULT DLGC_WANTALLKEYS = 0x0004;
constexpr LRESULT DLGC_HASSETSEL = 0x0008;
constexpr LRESULT DLGC_DEFPUSHBUTTON = 0x0010;
constexpr LRESULT DLGC_UNDEFPUSHBUTTON = 0x0020;
constexpr LRESULT DLGC_STATIC = 0x0100;
constexpr LRESULT DLGC_BUTTON = 0x2000;

// Buttons.
constexpr DWORD BS_PUSHBUTTON = 0x0;
constexpr DWORD BS_DEFPUSHBUTTON = 0x1;
constexpr DWORD BS_CHECKBOX = 0x2;
constexpr DWORD BS_AUTOCHECKBOX = 0x3;
constexpr DWORD BS_GROUPBOX = 0x7;
constexpr DWORD BS_TYPEMASK = 0xF;
constexpr UINT BM_GETCHECK = 0x00F0;
constexpr UINT BM_SETCHECK = 0x00F1;
constexpr UINT BM_GETSTATE = 0x00F2;
constexpr UINT BM_SETSTYLE = 0x00F4;
constexpr UINT BM_CLICK = 0x00F5;
constexpr WPARAM BST_UNCHECKED = 0;
constexpr WPARAM BST_CHECKED = 1;
constexpr LRESULT BST_PUSHED = 0x4;
constexpr LRESULT BST_FOCUS = 0x8;
constexpr WORD BN_CLICKED = 0;

// Statics.
constexpr DWORD SS_LEFT = 0x0;
constexpr DWORD SS_CENTER = 0x1;
constexpr DWORD SS_RIGHT = 0x2;
constexpr DWORD SS_ICON = 0x3;
constexpr DWORD SS_BLACKRECT = 0x4;
constexpr DWORD SS_BLACKFRAME = 0x7;
constexpr DWORD SS_GRAYFRAME = 0x8;
constexpr DWORD SS_WHITEFRAME = 0x9;
constexpr DWORD SS_OWNERDRAW = 0xD; // the parent draws it at WM_DRAWITEM (DRAWITEMSTRUCT of ODT_STATIC)
constexpr DWORD SS_ETCHEDFRAME = 0x12;
constexpr DWORD SS_TYPEMASK = 0x1F;
constexpr DWORD SS_NOPREFIX = 0x80;
constexpr DWORD SS_NOTIFY = 0x100;

// Edits (single line).
constexpr DWORD ES_LEFT = 0x0;
constexpr DWORD ES_CENTER = 0x1;
constexpr DWORD ES_RIGHT = 0x2;
constexpr DWORD ES_UPPERCASE = 0x8;
constexpr DWORD ES_LOWERCASE = 0x10;
constexpr DWORD ES_PASSWORD = 0x20;
constexpr DWORD ES_AUTOHSCROLL = 0x80;
constexpr DWORD ES_NUMBER = 0x2000;
constexpr UINT EM_GETSEL = 0x00B0;
constexpr UINT EM_SETSEL = 0x00B1;
constexpr UINT EM_SETLIMITTEXT = 0x00C5;
constexpr UINT EM_LIMITTEXT = EM_SETLIMITTEXT;
constexpr UINT EM_GETLIMITTEXT = 0x00D5;
constexpr UINT EM_SETPASSWORDCHAR = 0x00CC;
constexpr WORD EN_CHANGE = 0x0300;
constexpr WORD EN_MAXTEXT = 0x0501;

// List boxes: one column of text items, one of them selected; the keyboard and the wheel move through them.
constexpr DWORD LBS_NOTIFY = 0x0001;
constexpr UINT LB_ADDSTRING = 0x0180;
constexpr UINT LB_RESETCONTENT = 0x0184;
constexpr UINT LB_SETCURSEL = 0x0186;
constexpr UINT LB_GETCURSEL = 0x0188;
constexpr UINT LB_GETTEXT = 0x0189; // the buffer holds LB_GETTEXTLEN + 1 characters
constexpr UINT LB_GETTEXTLEN = 0x018A;
constexpr UINT LB_GETCOUNT = 0x018B;
constexpr UINT LB_GETTOPINDEX = 0x018E;
constexpr UINT LB_GETITEMDATA = 0x0199;
constexpr UINT LB_SETITEMDATA = 0x019A;
constexpr UINT LB_FINDSTRINGEXACT = 0x01A2; // without regard to case, from the item after wParam
constexpr LRESULT LB_ERR = -1;
constexpr WORD LBN_SELCHANGE = 1;
constexpr WORD LBN_DBLCLK = 2;

// The class ordinals of dialog templates.
constexpr WORD DialogClassButton = 0x0080;
constexpr WORD DialogClassEdit = 0x0081;
constexpr WORD DialogClassStatic = 0x0082;
constexpr WORD DialogClassListBox = 0x0083;

// Modal: the owner is disabled, messages run through the dialog's own loop (offered to the WH_MSGFILTER
// hooks with MSGF_DIALOGBOX first) until EndDialog; the result given to EndDialog, or -1 when the dialog
// could not be made. The named forms find the template among the module's resources (type RT_DIALOG).
// (The named forms have C link names, as the resource functions do: win32/resource.h.)
extern "C" INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR name, HWND owner, DLGPROC proc, LPARAM param);
INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, const void* dialogTemplate, HWND owner, DLGPROC proc,
                                LPARAM param);
// Modeless: the dialog is made and returned; its owner keeps running. Messages reach it through the
// caller's loop, which offers them to IsDialogMessageW. A template with WS_CHILD makes a dialog inside its
// owner, at the template's position in the owner's client area.
extern "C" HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR name, HWND owner, DLGPROC proc, LPARAM param);
HWND CreateDialogIndirectParamW(HINSTANCE instance, const void* dialogTemplate, HWND owner, DLGPROC proc,
                                LPARAM param);
// The ANSI forms: names by number, and the same UTF-16 templates; they make the dialogs the wide forms make.
extern "C" INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param);
INT_PTR DialogBoxIndirectParamA(HINSTANCE instance, const void* dialogTemplate, HWND owner, DLGPROC proc,
                                LPARAM param);
extern "C" HWND CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param);
HWND CreateDialogIndirectParamA(HINSTANCE instance, const void* dialogTemplate, HWND owner, DLGPROC proc,
                                LPARAM param);
// Ends a modal dialog with a result (its loop then destroys it); a modeless one is only hidden.
BOOL EndDialog(HWND dialog, INT_PTR result);
LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The keyboard handling of a dialog for one message: Tab and Shift+Tab through the controls with
// WS_TABSTOP, arrows within a group, Return for the default button, Escape for IDCANCEL; other messages
// for the dialog or its controls are translated and dispatched. TRUE when the message was the dialog's.
BOOL IsDialogMessageW(HWND dialog, MSG* msg);

HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND control);
BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text);
UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int capacity);
LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
// The next (or, with previous, the one before) control with WS_TABSTOP, visible and enabled, wrapping
// round; the next within the control's group for GetNextDlgGroupItem.
HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous);
// Dialog units to pixels, by the dialog's font.
BOOL MapDialogRect(HWND dialog, RECT* rect);

} // namespace win32

namespace win32::testing {

// Called with every dialog the layer has just shown (after WM_INITDIALOG), so that tests can post the
// input a user would give it; null stops it.
void SetDialogShownHook(void (*hook)(HWND dialog));

} // namespace win32::testing
