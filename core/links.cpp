#include "core/links.h"

#include "core/services.h"

namespace modHelp {

void OpenWebAddress(const QString &address)
{
    platform::web().open(address);
}

QString HomePageAddress() { return MakerWebSite; }
QString OnlineHelpPageAddress() { return MakerWebSite + QStringLiteral("/brimvale/brimvale-help.html"); }
QString DownloadPageAddress() { return MakerWebSite + QStringLiteral("/brimvale/download-brimvale.html"); }
QString DonatePageAddress() { return MakerHelpSite + QStringLiteral("/donate.html"); }
QString FullBrandPageAddress() { return MakerHelpSite + QStringLiteral("/fully-branded.html"); }
QString CoBrandPageAddress() { return MakerHelpSite + QStringLiteral("/co-brand.html"); }
QString ProductFamilyPageAddress() { return MakerWebSite + QStringLiteral("/tarnwicksoftwares"); }

void HomePage() { OpenWebAddress(HomePageAddress()); }
void OnlineHelpPage() { OpenWebAddress(OnlineHelpPageAddress()); }
void DownloadPage() { OpenWebAddress(DownloadPageAddress()); }
void DonatePage() { OpenWebAddress(DonatePageAddress()); }
void FullBrandPage() { OpenWebAddress(FullBrandPageAddress()); }
void CoBrandPage() { OpenWebAddress(CoBrandPageAddress()); }
void ProductFamilyPage() { OpenWebAddress(ProductFamilyPageAddress()); }

} // namespace modHelp
