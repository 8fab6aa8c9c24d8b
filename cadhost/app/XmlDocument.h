// A small reader of XML documents into a tree of elements with their attributes, enough for the
// package descriptions of plug-in bundles: the XML declaration, comments, processing instructions
// and a document type are skipped; text and CDATA between elements are not kept. A document that
// is not well formed is refused with the line where reading stopped.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace cadhost::app {

struct XmlElement {
  std::wstring name;
  std::vector<std::pair<std::wstring, std::wstring>> attributes;  // in document order
  std::vector<XmlElement> children;

  // The attribute's value, or null when the element has none of that name.
  const std::wstring* attribute(const std::wstring& attributeName) const;
  // The children of that name, in document order.
  std::vector<const XmlElement*> childrenNamed(const std::wstring& childName) const;
};

// Reads a UTF-8 document (a byte order mark is allowed). False with a message naming the line
// when the document is not well formed.
bool readXmlDocument(const std::string& utf8, XmlElement& root, std::wstring& error);

}  // namespace cadhost::app
