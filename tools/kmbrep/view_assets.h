// The 3D page's fixed text, made at build time from the page template, the
// viewer script and the vendored three.js: each a null-terminated list of
// pieces to be written one after another. The model goes between kViewMiddle
// and kViewTail; kViewIntro holds the markers %%TITLE%% and %%SUMMARY%%.
#ifndef KMBREP_VIEW_ASSETS_H
#define KMBREP_VIEW_ASSETS_H

namespace kmbrep {

extern const char* const kViewIntro[];
extern const char* const kViewLibraries[];
extern const char* const kViewMiddle[];
extern const char* const kViewTail[];

}  // namespace kmbrep

#endif
