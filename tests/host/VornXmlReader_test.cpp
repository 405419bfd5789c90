#include "VornXmlReader.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>

#include "TransSpace.h"
#include "support/TextHelpers.h"

XERCES_CPP_NAMESPACE_USE

namespace {

std::string text(const XMLCh* units) {
    return utf8(reinterpret_cast<const unsigned short*>(units));
}

// A loopback port that answers every connection by closing it and counts
// them: a reader that tried an http: system ID shows here, without a network.
class Listener {
public:
    Listener() : fd(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(fd, 8) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            ADD_FAILURE() << "no loopback port";
        port = ntohs(address.sin_port);
        thread = std::thread([this] {
            while (!stop) {
                pollfd p{fd, POLLIN, 0};
                if (poll(&p, 1, 20) <= 0) continue;
                const int c = accept(fd, nullptr, nullptr);
                if (c >= 0) ++contacts, close(c);
            }
        });
    }
    ~Listener() {
        stop = true;
        thread.join();
        close(fd);
    }
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port) + "/" + path;
    }
    std::atomic<int> contacts{0};

private:
    int fd;
    int port = 0;
    std::atomic<bool> stop{false};
    std::thread thread;
};

struct Outcome {
    std::string text;   // the root's text, where the document parsed
    std::string error;  // the first error: "LINE:COLUMN: message"
};

class Errors : public DefaultHandler {
public:
    void error(const SAXParseException& e) override { fatalError(e); }
    void fatalError(const SAXParseException& e) override {
        if (outcome.error.empty())
            outcome.error = std::to_string(e.getLineNumber()) + ":" +
                            std::to_string(e.getColumnNumber()) + ": " + text(e.getMessage());
    }
    void characters(const XMLCh* const chars, const XMLSize_t length) override {
        outcome.text += text(std::u16string(chars, length).c_str());
    }
    Outcome outcome;
};

Outcome readDOM(const std::string& xml, unsigned int limit = kVornXmlEntityExpansionLimit) {
    VornXmlReaderGuard guard(limit);
    XercesDOMParser parser;
    Errors errors;
    guard.Apply(parser, &errors);
    MemBufInputSource input(reinterpret_cast<const XMLByte*>(xml.data()), xml.size(), "t.xml");
    parser.parse(input);
    const DOMDocument* document = parser.getDocument();
    if (errors.outcome.error.empty() && document && document->getDocumentElement())
        errors.outcome.text = text(document->getDocumentElement()->getTextContent());
    return errors.outcome;
}

Outcome readSAX(const std::string& xml, unsigned int limit = kVornXmlEntityExpansionLimit) {
    VornXmlReaderGuard guard(limit);
    std::unique_ptr<SAX2XMLReader> reader(XMLReaderFactory::createXMLReader());
    Errors errors;
    guard.Apply(*reader, &errors);
    reader->setContentHandler(&errors);
    MemBufInputSource input(reinterpret_cast<const XMLByte*>(xml.data()), xml.size(), "t.xml");
    reader->parse(input);
    if (!errors.outcome.error.empty()) errors.outcome.text.clear();
    return errors.outcome;
}

class XmlReaderGuard : public ::testing::Test {
protected:
    XmlReaderGuard() {
        char name[] = "/tmp/transspace-xml-XXXXXX";
        dir = mkdtemp(name);
        write("secret.txt", "SECRET-7431");
        write("declares.dtd", "<!ENTITY y SYSTEM '" + dir + "/secret.txt'>");
    }
    ~XmlReaderGuard() override { std::filesystem::remove_all(dir); }
    void write(const std::string& name, const std::string& content) {
        std::filesystem::create_directories(std::filesystem::path(dir + "/" + name).parent_path());
        std::ofstream(dir + "/" + name) << content;
    }

    TransSpace space;  // the XML runtime
    Listener listener;
    std::string dir;
};

// Whatever a document names, nothing is opened: references to external
// entities fail at their position, external DTDs are passed by.
TEST_F(XmlReaderGuard, ExternalEntitiesAndDTDs) {
    const std::string secret = dir + "/secret.txt";
    const std::string http = listener.url("x.ent");
    struct Row {
        const char* what;
        std::string xml;
        std::string text;     // when it parses
        std::string refused;  // the system ID named in the error, when refused
    };
    const Row rows[] = {
        {"file: URL", "<!DOCTYPE r [<!ENTITY x SYSTEM 'file://" + secret + "'>]>\n<r>a&x;b</r>", "",
         "file://" + secret},
        {"path", "<!DOCTYPE r [<!ENTITY x SYSTEM '" + secret + "'>]>\n<r>a&x;b</r>", "", secret},
        {"http: URL", "<!DOCTYPE r [<!ENTITY x SYSTEM '" + http + "'>]>\n<r>a&x;b</r>", "", http},
        {"public ID", "<!DOCTYPE r [<!ENTITY x PUBLIC '-//t//x' '" + http + "'>]>\n<r>&x;</r>", "",
         http},
        {"behind an internal entity",
         "<!DOCTYPE r [<!ENTITY x SYSTEM '" + secret + "'><!ENTITY i 'i&x;'>]>\n<r>&i;</r>", "",
         secret},
        {"parameter entity", "<!DOCTYPE r [<!ENTITY % p SYSTEM '" + http + "'>\n%p;]><r/>", "",
         http},
        {"external DTD over http", "<!DOCTYPE r SYSTEM '" + listener.url("r.dtd") + "'><r>t</r>",
         "t", ""},
        {"local DTD declaring an entity",
         "<!DOCTYPE r SYSTEM '" + dir + "/declares.dtd'><r>a&y;b</r>", "ab", ""},
        {"internal entity", "<!DOCTYPE r [<!ENTITY i 'in'>]><r>&i;</r>", "in", ""},
    };
    for (const Row& row : rows) {
        for (bool dom : {true, false}) {
            SCOPED_TRACE(std::string(row.what) + (dom ? ", DOM" : ", SAX2"));
            const Outcome got = dom ? readDOM(row.xml) : readSAX(row.xml);
            EXPECT_EQ(got.text, row.text);
            if (row.refused.empty()) {
                EXPECT_EQ(got.error, "");
            } else {
                EXPECT_EQ(got.error.substr(0, 2), "2:");
                EXPECT_NE(
                    got.error.find(": the external entity \"" + row.refused + "\" is not read"),
                    std::string::npos)
                    << got.error;
            }
            EXPECT_EQ(got.error.find("SECRET"), std::string::npos);
        }
    }
    EXPECT_EQ(listener.contacts, 0);
}

TEST_F(XmlReaderGuard, EntityExpansionIsBounded) {
    std::string laughs = "<!DOCTYPE r [<!ENTITY a0 'ha'>";
    for (int i = 1; i <= 8; ++i) {
        laughs += "<!ENTITY a" + std::to_string(i) + " '";
        for (int j = 0; j < 10; ++j) laughs += "&a" + std::to_string(i - 1) + ";";
        laughs += "'>";
    }
    laughs += "]><r>&a8;</r>";
    for (bool dom : {true, false}) {
        const Outcome got = dom ? readDOM(laughs, 1000) : readSAX(laughs, 1000);
        EXPECT_NE(got.error.find("more than '1000' entity expansions"), std::string::npos)
            << got.error;
    }
}

// A schema's own includes and imports load from beside it; a URL among them
// is not fetched, and neither is a document's schemaLocation hint.
TEST_F(XmlReaderGuard, SchemasLoadTheirOwnFilesOnly) {
    write("parts/part.xsd",
          "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema' targetNamespace='urn:part'>"
          "<xs:element name='p' type='xs:int'/></xs:schema>");
    write("main.xsd",
          "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema' xmlns:p='urn:part' "
          "targetNamespace='urn:main' elementFormDefault='qualified'>"
          "<xs:import namespace='urn:part' schemaLocation='parts/part.xsd'/>"
          "<xs:import namespace='urn:far' schemaLocation='" +
              listener.url("far.xsd") +
              "'/>"
              "<xs:element name='m'><xs:complexType><xs:sequence><xs:element ref='p:p'/>"
              "</xs:sequence></xs:complexType></xs:element></xs:schema>");
    VornXmlReaderGuard guard;
    XercesDOMParser parser;
    Errors errors;
    guard.Apply(parser, &errors);
    parser.setDoNamespaces(true);
    parser.setDoSchema(true);
    parser.setValidationScheme(XercesDOMParser::Val_Always);
    ASSERT_NE(guard.LoadSchema(parser, dir + "/main.xsd"), nullptr) << errors.outcome.error;
    const std::string hint =
        "<m xmlns='urn:main' xmlns:p='urn:part' "
        "xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance' "
        "xsi:schemaLocation='urn:main " +
        listener.url("main.xsd") + "'>";
    const std::pair<std::string, bool> documents[] = {
        {hint + "<p:p>7</p:p></m>", true},
        {hint + "<p:p>seven</p:p></m>", false},
    };
    for (const auto& document : documents) {
        SCOPED_TRACE(document.first);
        errors.outcome = Outcome();
        MemBufInputSource input(reinterpret_cast<const XMLByte*>(document.first.data()),
                                document.first.size(), "t.xml");
        parser.parse(input);
        EXPECT_EQ(errors.outcome.error.empty(), document.second) << errors.outcome.error;
    }
    EXPECT_EQ(listener.contacts, 0);
}

}  // namespace
