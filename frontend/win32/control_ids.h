// The control IDs of the Windows windows, by which the program and its test driver find them.
#pragma once

namespace tidelin::win32 {

// Form1
constexpr int IdCommand1 = 101;
constexpr int IdCommand2 = 102;
constexpr int IdCommand3 = 103;
constexpr int IdCommand4 = 104;
constexpr int IdCommand5 = 105;
constexpr int IdCheck1 = 106;
constexpr int IdFrame1 = 107;
constexpr int IdList1 = 108;
constexpr int IdLabel1 = 109;
constexpr int IdDlgFilename = 110;

// frmAbout (its OK button is IDOK, so that Enter presses it)
constexpr int IdImage1 = 201;
constexpr int IdLblTitle = 202;
constexpr int IdLblVersion = 203;
constexpr int IdLblDescription = 204;
constexpr int IdLblAuthor = 205;
constexpr int IdLblSite = 206;

// Resources
constexpr int IdProgramIcon = 1;
constexpr int IdHandCursor = 2;

}  // namespace tidelin::win32
