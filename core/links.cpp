#include "core/links.h"

#include "core/services.h"

namespace links {

void openWebAddress(const QString &address)
{
    platform::web().open(address);
}

QString homePageAddress()
{
    return kMakerWebSite;
}
QString onlineHelpPageAddress()
{
    return kMakerWebSite + QStringLiteral("/brimvale/brimvale-help.html");
}
QString downloadPageAddress()
{
    return kMakerWebSite + QStringLiteral("/brimvale/download-brimvale.html");
}
QString donatePageAddress()
{
    return kMakerHelpSite + QStringLiteral("/donate.html");
}
QString fullBrandPageAddress()
{
    return kMakerHelpSite + QStringLiteral("/fully-branded.html");
}
QString coBrandPageAddress()
{
    return kMakerHelpSite + QStringLiteral("/co-brand.html");
}
QString productFamilyPageAddress()
{
    return kMakerWebSite + QStringLiteral("/tarnwicksoftwares");
}

void homePage()
{
    openWebAddress(homePageAddress());
}
void onlineHelpPage()
{
    openWebAddress(onlineHelpPageAddress());
}
void downloadPage()
{
    openWebAddress(downloadPageAddress());
}
void donatePage()
{
    openWebAddress(donatePageAddress());
}
void fullBrandPage()
{
    openWebAddress(fullBrandPageAddress());
}
void coBrandPage()
{
    openWebAddress(coBrandPageAddress());
}
void productFamilyPage()
{
    openWebAddress(productFamilyPageAddress());
}

} // namespace links
