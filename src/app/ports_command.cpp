// The ports command: the scan of every port as one document, the script's
// twin of the interactive port table.

#include "app/application.h"
#include "app/json_documents.h"
#include "app/json_text.h"
#include "platform/console.h"
#include "scan/port_view.h"

void CApplication::RunPortsCommand(bool compact)
{
    m_scanOptions.bVerbose = false;
    RefreshPorts();
    const Json::Value document = PortsDocument(PortViews(m_vecCheckResults));
    ConsoleWrite(compact ? CompactDocumentText(document, ConsoleDocumentCharset())
                         : StyledDocumentText(document, ConsoleDocumentCharset()));
}
