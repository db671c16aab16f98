#pragma once
// A sidecar as other programs write one: the namespaces of the common photo tools declared on one
// description, `attributes` on it and `body` inside it.

#include <string>

namespace marquelo::test {

inline std::string xmpPacket(const std::string& attributes, const std::string& body = {})
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
           " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
           "  <rdf:Description rdf:about=\"\"\n"
           "    xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\"\n"
           "    xmlns:dc=\"http://purl.org/dc/elements/1.1/\"\n"
           "    xmlns:darktable=\"http://darktable.sf.net/\"\n"
           "    xmlns:digiKam=\"http://www.digikam.org/ns/1.0/\"\n"
           "    " +
           attributes + ">\n" + body +
           "  </rdf:Description>\n"
           " </rdf:RDF>\n"
           "</x:xmpmeta>\n";
}

} // namespace marquelo::test
