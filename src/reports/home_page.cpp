// The reports home page: the catalogue for users who may build reports, and the saved reports
// listed by group through the listing stylesheet.

#include "frame/text_util.h"
#include "quenmark/xml.h"
#include "reports/manager_state.h"
#include "reports/reports_file.h"

namespace quenmark::reports {
namespace {

// Groups sorted by title, each with its reports sorted by title. The root attributes path,
// use, hide and delete are set by the page before the transformation and never saved. Values
// reach the output through the serializer, so titles and ids are escaped for their context.
constexpr std::string_view kListingStylesheet = R"xsl(<?xml version="1.0" encoding="UTF-8"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html" encoding="UTF-8" indent="no"/>
<xsl:variable name="path" select="string(//@path)"/>
<xsl:variable name="use" select="string(//@use)"/>
<xsl:variable name="hide" select="string(//@hide)"/>
<xsl:variable name="delete" select="string(//@delete)"/>
<xsl:template match="tabulon">
<table cellspacing="0" cellpadding="2" width="100%">
<xsl:for-each select="groups/group">
<xsl:sort select="@title" data-type="text"/>
<xsl:choose>
<xsl:when test="$use='' and $hide=''"><xsl:call-template name="group"><xsl:with-param name="group" select="@id"/></xsl:call-template></xsl:when>
<xsl:when test="$use!=''"><xsl:if test="contains($use, @id)"><xsl:call-template name="group"><xsl:with-param name="group" select="@id"/></xsl:call-template></xsl:if></xsl:when>
<xsl:otherwise><xsl:if test="not(contains($hide, @id))"><xsl:call-template name="group"><xsl:with-param name="group" select="@id"/></xsl:call-template></xsl:if></xsl:otherwise>
</xsl:choose>
</xsl:for-each>
</table>
</xsl:template>
<xsl:template name="group">
<xsl:param name="group"/>
<xsl:variable name="title" select="/tabulon/groups/group[@id=$group]/@title"/>
<tr><td class="group_title"><xsl:choose>
<xsl:when test="$delete='1'"><a href="{$path}?a=n&amp;gi={$group}&amp;gn={$title}" title="Edit group title" class="group_title"><xsl:value-of select="$title"/></a></xsl:when>
<xsl:otherwise>&#160;<br/><span class="group_title"><xsl:value-of select="$title"/></span></xsl:otherwise>
</xsl:choose></td></tr>
<tr><td><xsl:for-each select="/tabulon/reports//report[@group=$group]">
<xsl:sort select="@title" data-type="text"/>
<table border="0" cellspacing="0" cellpadding="0" width="98%">
<tr class="report_title" xonmouseover="this.className='report_title_over'" xonmouseout="this.className='report_title'">
<td align="center" valign="top" nowrap="true" rowspan="2">&#160;&#160;<xsl:value-of select="position()"/>.</td>
<td class="report_desc" width="100%"><a href="{$path}?rid={@id}" class="report_title"><xsl:value-of select="normalize-space(@title)"/></a></td>
<td align="right" nowrap="true"><xsl:if test="$delete='1'"><a href="#" title="delete this report" onclick="if(confirm('Are you sure you want to delete this report?')){{window.location='{$path}?a=d&amp;id={@id}'}}"><font class="delete">x</font></a></xsl:if></td></tr>
<xsl:if test="normalize-space(.)!='' and $delete!='1'"><tr><td class="report_desc"><xsl:value-of select="."/></td></tr></xsl:if>
</table>
</xsl:for-each></td></tr>
</xsl:template>
</xsl:stylesheet>
)xsl";

}  // namespace

void ManagerState::WriteHomePage() {
  WriteStyleSheetLink();
  Write("<table border=\"0\" width=\"" + width + "\"><tr>");
  if (can_add) {
    OpenConnection();
    Write("<td valign=top>");
    WriteScriptBlock();
    WriteFormStart();
    WriteCatalogue();
    WriteFormEnd();
    Write("</td>");
  }
  Result<XmlDocument> document = ReportsFile(reports_file).Open();
  if (document.ok() && !document->DocumentElement().ChildElements().empty()) {
    XmlNode root = document->DocumentElement();
    root.SetAttribute("ie", browser_flag ? "true" : "false");
    root.SetAttribute("path", page_url);
    root.SetAttribute("use", ToUpperAscii(use_reports));
    root.SetAttribute("hide", ToUpperAscii(hidden_reports));
    if (can_delete) root.SetAttribute("delete", "1");
    XmlDocument stylesheet;
    (void)stylesheet.LoadXml(kListingStylesheet);
    Write("<td valign=\"top\"><table width=\"100%\" border=0>");
    if (can_add) {
      Write("<tr><th width=\"100%\" class=header_cell  align=left>" + reports_title +
            "</th><td nowrap align=right><a class=link_button href=\"" + page_url +
            "?a=n\" title='Add a new group'>New Group</a></td></tr>");
    }
    Result<std::string> listing = document->Transform(stylesheet);
    Write("<tr><td colspan=2>");
    if (listing.ok()) Write(*listing);
    Write("</td></tr></table></td>");
  } else if (document.ok()) {
    Write("<td nowrap valign=top>");
    ShowMessage("No Reports Available", "No reports have been created at this time", "navy");
    Write("</td>");
  } else {
    Write("<td nowrap valign=top>");
    if (can_add) {
      ShowMessage("Reports file not found",
                  "Either the reports file is corrupted or has not been created.<br><a href=\"" +
                      page_url +
                      "?a=c\" title='Create Reports file'>Click here to <b>Create a new Reports "
                      "file</b></a>",
                  "navy");
    } else {
      ShowMessage("Reports file not found",
                  "Either the reports file is corrupted or it is missing<br>Please contact your "
                  "administrator",
                  "red");
    }
    Write("</td>");
  }
  Write("</tr></table><title>" + title + "</title>");
}

}  // namespace quenmark::reports
