// An XCAF document for the time of one read or write.
#ifndef KOCCT_CORE_XCAF_DOCUMENT_H
#define KOCCT_CORE_XCAF_DOCUMENT_H

#include <TDocStd_Document.hxx>
#include <XCAFApp_Application.hxx>
#include <XCAFDoc_DocumentTool.hxx>

namespace kocct {
namespace detail {

// A new document in millimetres, closed (freed by the application) when the
// object goes.
class XcafDocument {
 public:
  XcafDocument() {
    XCAFApp_Application::GetApplication()->NewDocument("MDTV-XCAF", _doc);
    XCAFDoc_DocumentTool::SetLengthUnit(_doc, 0.001);
  }
  ~XcafDocument() {
    // A destructor may not throw; a document that cannot be closed is left
    // to its handle, which frees it all the same.
    try {
      if (!_doc.IsNull() && _doc->IsOpened()) XCAFApp_Application::GetApplication()->Close(_doc);
    } catch (...) {
    }
  }
  XcafDocument(const XcafDocument&) = delete;
  XcafDocument& operator=(const XcafDocument&) = delete;

  Handle(TDocStd_Document)& handle() { return _doc; }

 private:
  Handle(TDocStd_Document) _doc;
};

}  // namespace detail
}  // namespace kocct

#endif
