-- The business tables and views of the factory database: master data (departments, employees,
-- product categories and products, processes, work centres, inventory accounts, plan types),
-- product structures and process routes with their piece rates, master production plans, work
-- orders and sales orders, work reports with their employee allocations, the wage system's
-- intake and output tables, and the system tables of menus, document types, document-type
-- attributes and named settings.
--
-- Column types are those of the original server: texts VARCHAR/NVARCHAR with the TSQL
-- collation (ASCII case and trailing blanks ignored), ids INTEGER, flags SMALLINT, dates DATETIME,
-- and every quantity, rate, ratio or amount FLOAT so that it is stored as a real number and a
-- division of two of them never truncates.
--
-- Column names recur across tables only where the statements that join those tables qualify
-- them: a name the statements use unqualified over a join belongs to one table of that join.

-- ---------------------------------------------------------------------------------------------
-- System tables
-- ---------------------------------------------------------------------------------------------

-- Menu entries: a program id's caption.
CREATE TABLE xt_menu (
  progID    INTEGER PRIMARY KEY,
  menuname  NVARCHAR(50) COLLATE TSQL NOT NULL DEFAULT '',
  parentID  INTEGER NOT NULL DEFAULT 0,
  sortorder INTEGER NOT NULL DEFAULT 0,
  -- the module the menu entry creates, e.g. 'Korvane.SCCJD_S'; empty for a menu folder
  classname VARCHAR(100) COLLATE TSQL NOT NULL DEFAULT ''
);
CREATE INDEX ix_xt_menu_parent ON xt_menu (parentID, sortorder);

-- Document types: a program id's name and document class (billitem 6501: master plan).
CREATE TABLE xt_objects (
  progID    INTEGER PRIMARY KEY,
  progname  NVARCHAR(50) COLLATE TSQL NOT NULL DEFAULT '',
  billitem  INTEGER NOT NULL DEFAULT 0,
  classname VARCHAR(100) COLLATE TSQL NOT NULL DEFAULT ''
);
CREATE INDEX ix_xt_objects_billitem ON xt_objects (billitem);

-- Attributes of a document type (e.g. attribute '选单', caption '数量控制', text '1'), and
-- value lists shared by all types (progID 0, e.g. attribute '产品来源').
CREATE TABLE xt_billattribute (
  autoID    INTEGER PRIMARY KEY,
  progID    INTEGER NOT NULL DEFAULT 0,
  attribute NVARCHAR(50) COLLATE TSQL NOT NULL DEFAULT '',
  caption   NVARCHAR(50) COLLATE TSQL NOT NULL DEFAULT '',
  text      NVARCHAR(200) COLLATE TSQL NOT NULL DEFAULT '',
  remark    NVARCHAR(200) COLLATE TSQL NOT NULL DEFAULT ''
);
CREATE INDEX ix_xt_billattribute_prog ON xt_billattribute (progID, attribute, caption);
CREATE INDEX ix_xt_billattribute_attr ON xt_billattribute (attribute);

-- Named settings: system_code 'system' for the application's, 'st' for the stock module's.
CREATE TABLE xt_accinformation (
  system_code VARCHAR(20) COLLATE TSQL NOT NULL,
  item_code   VARCHAR(50) COLLATE TSQL NOT NULL,
  item_value  NVARCHAR(200) COLLATE TSQL NOT NULL DEFAULT '',
  description NVARCHAR(200) COLLATE TSQL NOT NULL DEFAULT '',
  PRIMARY KEY (system_code, item_code)
);

-- ---------------------------------------------------------------------------------------------
-- Organisation and people
-- ---------------------------------------------------------------------------------------------

-- Departments, workshops and warehouses. 组织类型: 1 company, 2 office, 3 workshop,
-- 4 warehouse. 是否明细 marks a leaf that documents may name.
CREATE TABLE PDMBM (
  部门ID     INTEGER PRIMARY KEY,
  部门编码   VARCHAR(20) COLLATE TSQL NOT NULL DEFAULT '',
  部门名称   NVARCHAR(50) COLLATE TSQL NOT NULL DEFAULT '',
  上级部门ID INTEGER,
  级次       INTEGER,
  组织类型   INTEGER,
  是否明细   SMALLINT,
  负责人     NVARCHAR(30) COLLATE TSQL,
  电话       VARCHAR(30) COLLATE TSQL,
  说明       NVARCHAR(200) COLLATE TSQL
);
CREATE INDEX ix_pdmbm_code ON PDMBM (部门编码);
CREATE INDEX ix_pdmbm_name ON PDMBM (部门名称);
CREATE INDEX ix_pdmbm_type ON PDMBM (组织类型);
CREATE INDEX ix_pdmbm_parent ON PDMBM (上级部门ID);

-- Employees. 性别 1 = female. active 1 = left the company (null or 0: working).
CREATE TABLE PDMGY (
  雇员ID         INTEGER PRIMARY KEY,
  雇员编号       VARCHAR(20) COLLATE TSQL NOT NULL DEFAULT '',
  姓名           NVARCHAR(30) COLLATE TSQL NOT NULL DEFAULT '',
  性别           SMALLINT,
  身份证号码     VARCHAR(30) COLLATE TSQL,
  工作电话       VARCHAR(30) COLLATE TSQL,
  部门ID         INTEGER,
  职务ID         INTEGER,
  工资帐号       VARCHAR(40) COLLATE TSQL,
  工龄           INTEGER,
  类别ID         INTEGER,
  文化程度ID     INTEGER,
  雇佣日期       DATETIME,
  出生日期       DATETIME,
  紧急联系人姓名 NVARCHAR(30) COLLATE TSQL,
  紧急联系电话   VARCHAR(30) COLLATE TSQL,
  照片名         NVARCHAR(100) COLLATE TSQL,
  备注           NVARCHAR(200) COLLATE TSQL,
  家庭电话       VARCHAR(30) COLLATE TSQL,
  家庭地址       NVARCHAR(100) COLLATE TSQL,
  邮编           VARCHAR(10) COLLATE TSQL,
  是否系统       SMALLINT,
  工资级别系数   FLOAT,
  active         SMALLINT
);
CREATE INDEX ix_pdmgy_number ON PDMGY (雇员编号);
CREATE INDEX ix_pdmgy_name ON PDMGY (姓名);
CREATE INDEX ix_pdmgy_dept ON PDMGY (部门ID);

-- Departments as the wage system sees them.
CREATE VIEW vtPABm AS
SELECT 部门ID, 部门编码, 部门名称, 上级部门ID, 级次, 组织类型, 是否明细
FROM PDMBM;

-- ---------------------------------------------------------------------------------------------
-- Products
-- ---------------------------------------------------------------------------------------------

-- The chart of accounts as far as products need it: a product category is kept on an
-- inventory account (是否存货科目 = 1), e.g. 1211 raw materials, 1243 finished goods.
CREATE TABLE pdmkjkm (
  科目ID       INTEGER PRIMARY KEY,
  科目编码     VARCHAR(20) COLLATE TSQL NOT NULL DEFAULT '',
  科目名称     NVARCHAR(50) COLLATE TSQL NOT NULL DEFAULT '',
  级次         INTEGER,
  是否存货科目 SMALLINT
);
CREATE INDEX ix_pdmkjkm_code ON pdmkjkm (科目编码);

-- Product categories, coded hierarchically by prefix (coding scheme 'cplb').
CREATE TABLE PDMCPLB (
  类别ID       INTEGER PRIMARY KEY,
  类别编码     VARCHAR(20) COLLATE TSQL NOT NULL DEFAULT '',
  类别名称     NVARCHAR(50) COLLATE TSQL NOT NULL DEFAULT '',
  级次         INTEGER,
  是否明细     SMALLINT,
  对应科目编号 VARCHAR(20) COLLATE TSQL,
  说明         NVARCHAR(200) COLLATE TSQL
);
CREATE INDEX ix_pdmcplb_code ON PDMCPLB (类别编码);
CREATE INDEX ix_pdmcplb_account ON PDMCPLB (对应科目编号);
CREATE INDEX ix_pdmcplb_level ON PDMCPLB (级次, 类别编码);

-- The product catalogue, from raw materials to finished goods. 来源ID is a value of the
-- '产品来源' list of xt_billattribute; 是否使用 0 marks a cancelled product; 工艺路线ID is
-- the route saved last.
CREATE TABLE PDMCPML (
  产品ID           INTEGER PRIMARY KEY,
  物品编码         VARCHAR(30) COLLATE TSQL NOT NULL DEFAULT '',
  助忆词           VARCHAR(30) COLLATE TSQL,
  物品名称         NVARCHAR(100) COLLATE TSQL NOT NULL DEFAULT '',
  物品产地         NVARCHAR(50) COLLATE TSQL,
  库存单位ID       INTEGER,
  库存单位         NVARCHAR(20) COLLATE TSQL,
  物品说明         NVARCHAR(200) COLLATE TSQL,
  缺省货位         NVARCHAR(30) COLLATE TSQL,
  产品类别ID       INTEGER,
  短缺限额         FLOAT,
  超储限额         FLOAT,
  参考批发价       FLOAT,
  参考零售价       FLOAT,
  参考税额         FLOAT,
  条形码           VARCHAR(50) COLLATE TSQL,
  毛重             FLOAT,
  净重             FLOAT,
  重量单位ID       FLOAT,
  重量单位         NVARCHAR(20) COLLATE TSQL,
  空余1            NVARCHAR(50) COLLATE TSQL,
  空余2            NVARCHAR(50) COLLATE TSQL,
  空余3            NVARCHAR(50) COLLATE TSQL,
  空余4            NVARCHAR(50) COLLATE TSQL,
  空余5            NVARCHAR(50) COLLATE TSQL,
  是否多计量单位   SMALLINT,
  来源ID           INTEGER,
  缺省部门ID       INTEGER,
  是否使用         SMALLINT,
  是否需质检       SMALLINT,
  是否可销售       SMALLINT,
  是否需单件管理   SMALLINT,
  是否需批次管理   SMALLINT,
  是否需跟踪订单   SMALLINT,
  是否需保质期管理 SMALLINT,
  主往来ID         INTEGER,
  计划ID           INTEGER,
  低层码           VARCHAR(10) COLLATE TSQL,
  积压天数         INTEGER,
  呆滞天数         INTEGER,
  采购提前期       FLOAT,
  发料提前期       INTEGER,
  完工停放期       INTEGER,
  再订货点         FLOAT,
  订货批量         FLOAT,
  订货周期         FLOAT,
  安全库存量       FLOAT,
  最小包装数       INTEGER,
  发放批量         INTEGER,
  损耗率           FLOAT,
  保质期           FLOAT,
  图号             NVARCHAR(50) COLLATE TSQL,
  版次             NVARCHAR(20) COLLATE TSQL,
  模具编号         NVARCHAR(30) COLLATE TSQL,
  体积单位ID       INTEGER,
  体积单位         NVARCHAR(20) COLLATE TSQL,
  单位体积         FLOAT,
  工艺路线ID       INTEGER,
  规格             NVARCHAR(100) COLLATE TSQL,
  型号             NVARCHAR(50) COLLATE TSQL,
  尺寸             NVARCHAR(50) COLLATE TSQL,
  硬度             NVARCHAR(20) COLLATE TSQL,
  ABC码            VARCHAR(2) COLLATE TSQL,
  成本来源ID       INTEGER,
  成本核算ID       INTEGER,
  标准成本         FLOAT,
  计划成本         FLOAT,
  属性ID           INTEGER,
  颜色             NVARCHAR(20) COLLATE TSQL,
  特性             NVARCHAR(50) COLLATE TSQL
);
CREATE INDEX ix_pdmcpml_code ON PDMCPML (物品编码);
CREATE INDEX ix_pdmcpml_name ON PDMCPML (物品名称);
CREATE INDEX ix_pdmcpml_mnemonic ON PDMCPML (助忆词);
CREATE INDEX ix_pdmcpml_category ON PDMCPML (产品类别ID, 物品编码);
CREATE INDEX ix_pdmcpml_source ON PDMCPML (来源ID);

-- ---------------------------------------------------------------------------------------------
-- Processes, work centres, routes and piece rates
-- ---------------------------------------------------------------------------------------------

-- Process categories, coded hierarchically by prefix (setting 'srbm' gives the segments).
CREATE TABLE pdmsrlb (
  类别ID   INTEGER PRIMARY KEY,
  类别编码 VARCHAR(20) COLLATE TSQL NOT NULL DEFAULT '',
  类别名称 NVARCHAR(50) COLLATE TSQL NOT NULL DEFAULT '',
  级次     INTEGER,
  是否明细 SMALLINT
);
CREATE INDEX ix_pdmsrlb_code ON pdmsrlb (类别编码);

-- Manufacturing processes (operations a product can go through).
CREATE TABLE PDMSR (
  工艺ID   INTEGER PRIMARY KEY,
  编号     VARCHAR(20) COLLATE TSQL NOT NULL DEFAULT '',
  工艺名称 NVARCHAR(50) COLLATE TSQL NOT NULL DEFAULT '',
  简称     NVARCHAR(20) COLLATE TSQL,
  类别ID   INTEGER,
  说明     NVARCHAR(200) COLLATE TSQL
);
CREATE INDEX ix_pdmsr_code ON PDMSR (编号);
CREATE INDEX ix_pdmsr_name ON PDMSR (工艺名称);
CREATE INDEX ix_pdmsr_short ON PDMSR (简称);
CREATE INDEX ix_pdmsr_category ON PDMSR (类别ID);

-- Work centres inside the workshops.
CREATE TABLE PDMGZZX (
  工作中心ID   INTEGER PRIMARY KEY,
  工作中心代码 VARCHAR(20) COLLATE TSQL NOT NULL DEFAULT '',
  工作中心名称 NVARCHAR(50) COLLATE TSQL NOT NULL DEFAULT '',
  部门ID       INTEGER,
  说明         NVARCHAR(200) COLLATE TSQL
);
CREATE INDEX ix_pdmgzzx_code ON PDMGZZX (工作中心代码);
CREATE INDEX ix_pdmgzzx_name ON PDMGZZX (工作中心名称);

-- Route headers: named routes of a product, one of them standard.
CREATE TABLE PDMSRLX (
  ID           INTEGER PRIMARY KEY,
  产品ID       INTEGER,
  路线名称     NVARCHAR(50) COLLATE TSQL NOT NULL DEFAULT '',
  日期         DATETIME,
  工作编号     VARCHAR(30) COLLATE TSQL,
  说明         NVARCHAR(200) COLLATE TSQL,
  是否标准     SMALLINT,
  是否失效     SMALLINT,
  是否关键路线 SMALLINT,
  是否系统     SMALLINT
);
CREATE INDEX ix_pdmsrlx_product ON PDMSRLX (产品ID, 是否标准);

-- Route operations in sequence.
CREATE TABLE PDMSRLXMX (
  ID         INTEGER PRIMARY KEY,
  SRLXID     INTEGER,
  顺序号     VARCHAR(10) COLLATE TSQL,
  工艺ID     INTEGER,
  部门ID     INTEGER,
  工作中心ID INTEGER,
  准备工时   FLOAT,
  加工工时   FLOAT,
  小时加工数 FLOAT,
  说明       NVARCHAR(200) COLLATE TSQL
);
CREATE INDEX ix_pdmsrlxmx_route ON PDMSRLXMX (SRLXID, 顺序号);
CREATE INDEX ix_pdmsrlxmx_process ON PDMSRLXMX (工艺ID);

-- Piece rates: wage per unit of a product on a process, per work centre (0: any) and quality
-- grade ('' : ordinary).
CREATE TABLE pagzde (
  ID         INTEGER PRIMARY KEY,
  工序ID     INTEGER,
  产品ID     INTEGER,
  工作中心ID INTEGER NOT NULL DEFAULT 0,
  品质       NVARCHAR(20) COLLATE TSQL NOT NULL DEFAULT '',
  单位工资   FLOAT,
  比率       FLOAT,
  工艺价     FLOAT
);
CREATE INDEX ix_pagzde_product ON pagzde (产品ID, 工序ID, 工作中心ID, 品质);
CREATE INDEX ix_pagzde_process ON pagzde (工序ID);

-- ---------------------------------------------------------------------------------------------
-- Product structures
-- ---------------------------------------------------------------------------------------------

-- Structure headers, one per version of a product's structure. The standard structure of a
-- product is its highest bomID with sMark '02', 是否失效 0 or null and 是否标准 1.
CREATE TABLE PDMBOM (
  bomID    INTEGER PRIMARY KEY,
  产品ID   INTEGER,
  产品名称 NVARCHAR(100) COLLATE TSQL,
  批量     FLOAT,
  日期     DATETIME,
  工作编号 VARCHAR(30) COLLATE TSQL,
  说明     NVARCHAR(200) COLLATE TSQL,
  是否标准 SMALLINT,
  是否失效 SMALLINT,
  smark    VARCHAR(2) COLLATE TSQL,
  制单     NVARCHAR(30) COLLATE TSQL,
  uniqueID VARCHAR(50) COLLATE TSQL
);
CREATE INDEX ix_pdmbom_product ON PDMBOM (产品ID, 是否标准, smark);
CREATE INDEX ix_pdmbom_unique ON PDMBOM (uniqueID);

-- Structure lines: a component's usage per parent unit is 实际配量分子/实际配量分母.
CREATE TABLE PDMBOMMX (
  bommxID      INTEGER PRIMARY KEY,
  bomID        INTEGER,
  rowindex     VARCHAR(4) COLLATE TSQL,
  配件ID       INTEGER,
  配量分子     FLOAT,
  配量分母     FLOAT,
  损耗率       FLOAT,
  实际配量分子 FLOAT,
  实际配量分母 FLOAT,
  辅助配量     FLOAT,
  选配代号     VARCHAR(20) COLLATE TSQL,
  说明         NVARCHAR(200) COLLATE TSQL
);
CREATE INDEX ix_pdmbommx_bom ON PDMBOMMX (bomID, rowindex);
CREATE INDEX ix_pdmbommx_component ON PDMBOMMX (配件ID, bomID);

-- Products with what the pickers show beside them: category code and name, the saved route's
-- name and the unit names.
CREATE VIEW vtPDMCPML AS
SELECT A.*,
       B.类别编码 AS 类别编码,
       B.类别名称 AS 产品类别,
       R.路线名称 AS 工艺路线
FROM PDMCPML A
LEFT JOIN PDMCPLB B ON A.产品类别ID = B.类别ID
LEFT JOIN PDMSRLX R ON A.工艺路线ID = R.ID;

-- ---------------------------------------------------------------------------------------------
-- Master production plans
-- ---------------------------------------------------------------------------------------------

CREATE TABLE pdmplantype (
  计划类型ID INTEGER PRIMARY KEY,
  类型编号   VARCHAR(20) COLLATE TSQL NOT NULL DEFAULT '',
  类型名称   NVARCHAR(50) COLLATE TSQL NOT NULL DEFAULT ''
);
CREATE INDEX ix_pdmplantype_code ON pdmplantype (类型编号);
CREATE INDEX ix_pdmplantype_name ON pdmplantype (类型名称);

-- Plan headers. A plan (or line) whose sign reaches the bound of the source selection is no
-- longer offered as a source; sign is kept by the documents drawn from it.
CREATE TABLE MRPPlan (
  主计划组ID INTEGER PRIMARY KEY,
  progID     INTEGER,
  smark      VARCHAR(2) COLLATE TSQL,
  单据编号   VARCHAR(30) COLLATE TSQL,
  计划日期   DATETIME,
  计划员     NVARCHAR(30) COLLATE TSQL,
  制单       NVARCHAR(30) COLLATE TSQL,
  制单日期   DATETIME,
  审核       NVARCHAR(30) COLLATE TSQL,
  审核日期   DATETIME,
  备注       NVARCHAR(200) COLLATE TSQL,
  性质       NVARCHAR(30) COLLATE TSQL,
  计划类型ID INTEGER,
  sign       INTEGER
);
CREATE INDEX ix_mrpplan_prog ON MRPPlan (progID, smark, 计划日期);
CREATE INDEX ix_mrpplan_number ON MRPPlan (单据编号, progID);
CREATE INDEX ix_mrpplan_type ON MRPPlan (计划类型ID);

-- Plan lines: one product by a demand date. 计划编号 = plan number + '-' + line id.
CREATE TABLE MRPPlanmx (
  主计划ID   INTEGER PRIMARY KEY,
  主计划组ID INTEGER,
  产品ID     INTEGER,
  库存数量   FLOAT,
  需求数量   FLOAT,
  计划数量   FLOAT,
  status     NVARCHAR(20) COLLATE TSQL,
  产品批次   VARCHAR(30) COLLATE TSQL,
  物品名称   NVARCHAR(100) COLLATE TSQL,
  物品规格   NVARCHAR(100) COLLATE TSQL,
  计划编号   VARCHAR(50) COLLATE TSQL,
  需求日期   DATETIME,
  预计开工日 DATETIME,
  预计完工日 DATETIME,
  计划类型   FLOAT,
  sign       INTEGER
);
CREATE INDEX ix_mrpplanmx_plan ON MRPPlanmx (主计划组ID, 计划编号);
CREATE INDEX ix_mrpplanmx_product ON MRPPlanmx (产品ID);
CREATE INDEX ix_mrpplanmx_batch ON MRPPlanmx (产品批次);

-- ---------------------------------------------------------------------------------------------
-- Work orders and sales orders (sources a work report can be drawn from)
-- ---------------------------------------------------------------------------------------------

-- Work order groups: the approval and the summary of a batch of work orders.
CREATE TABLE MocGd (
  工单组ID INTEGER PRIMARY KEY,
  progID   INTEGER,
  smark    VARCHAR(2) COLLATE TSQL,
  摘要     NVARCHAR(200) COLLATE TSQL,
  制单     NVARCHAR(30) COLLATE TSQL,
  制单日期 DATETIME,
  审核     NVARCHAR(30) COLLATE TSQL,
  审核日期 DATETIME,
  sign     INTEGER
);
CREATE INDEX ix_mocgd_prog ON MocGd (progID, smark);

-- Work orders: one product to make, with its own number; may come from a plan line.
CREATE TABLE MocGdmx (
  工单ID     INTEGER PRIMARY KEY,
  工单组ID   INTEGER,
  工单编号   VARCHAR(30) COLLATE TSQL,
  计划日期   DATETIME,
  完工日期   DATETIME,
  产品ID     INTEGER,
  预计产量   FLOAT,
  部门ID     INTEGER,
  前置单据   INTEGER,
  前置单据ID INTEGER,
  sign       INTEGER
);
CREATE INDEX ix_mocgdmx_group ON MocGdmx (工单组ID);
CREATE INDEX ix_mocgdmx_number ON MocGdmx (工单编号);
CREATE INDEX ix_mocgdmx_product ON MocGdmx (产品ID);
CREATE INDEX ix_mocgdmx_source ON MocGdmx (前置单据, 前置单据ID);

CREATE TABLE copdj (
  销售订单ID INTEGER PRIMARY KEY,
  progID     INTEGER,
  smark      VARCHAR(2) COLLATE TSQL,
  订单编号   VARCHAR(30) COLLATE TSQL,
  订单日期   DATETIME,
  客户名称   NVARCHAR(100) COLLATE TSQL,
  备注       NVARCHAR(200) COLLATE TSQL,
  制单       NVARCHAR(30) COLLATE TSQL,
  制单日期   DATETIME,
  审核       NVARCHAR(30) COLLATE TSQL,
  审核日期   DATETIME,
  sign       INTEGER
);
CREATE INDEX ix_copdj_prog ON copdj (progID, smark);
CREATE INDEX ix_copdj_number ON copdj (订单编号);

CREATE TABLE copdjmx (
  销售订单明细ID INTEGER PRIMARY KEY,
  销售订单ID     INTEGER,
  产品ID         INTEGER,
  产品批次       VARCHAR(30) COLLATE TSQL,
  订单数量       FLOAT,
  单价           FLOAT,
  金额           FLOAT,
  交货日期       DATETIME,
  备注           NVARCHAR(200) COLLATE TSQL,
  sign           INTEGER
);
CREATE INDEX ix_copdjmx_order ON copdjmx (销售订单ID);
CREATE INDEX ix_copdjmx_product ON copdjmx (产品ID);

-- ---------------------------------------------------------------------------------------------
-- Work reports
-- ---------------------------------------------------------------------------------------------

-- Work report headers; 工作中心ID is the workshop (a PDMBM department).
CREATE TABLE SFCDJ (
  报工单ID   INTEGER PRIMARY KEY,
  progID     INTEGER,
  报工单编号 VARCHAR(30) COLLATE TSQL,
  工作中心ID INTEGER,
  备注       NVARCHAR(200) COLLATE TSQL,
  生产日期   DATETIME,
  制单       NVARCHAR(30) COLLATE TSQL,
  制单日期   DATETIME,
  审核       NVARCHAR(30) COLLATE TSQL,
  审核日期   DATETIME,
  smark      VARCHAR(2) COLLATE TSQL
);
CREATE INDEX ix_sfcdj_prog ON SFCDJ (progID, smark, 生产日期);
CREATE INDEX ix_sfcdj_number ON SFCDJ (报工单编号, progID);
CREATE INDEX ix_sfcdj_workshop ON SFCDJ (工作中心ID);

-- Work report lines. 前置单据/前置单据ID: program id and line id of the source (a plan line
-- when the source is a master plan). 包装单位 records the day a line's rate was last reset to
-- the standard rate.
CREATE TABLE SFCDJMX (
  报工单明细ID INTEGER PRIMARY KEY,
  报工单ID     INTEGER,
  生产日期     DATETIME,
  产品ID       INTEGER,
  工艺ID       INTEGER,
  工资定额系数 FLOAT,
  工资金额     FLOAT,
  工资扣减金额 FLOAT,
  合格数量     FLOAT,
  生产数量     FLOAT,
  包装数量     FLOAT,
  包装单位     NVARCHAR(30) COLLATE TSQL,
  备注         NVARCHAR(200) COLLATE TSQL,
  前置单据     INTEGER,
  前置单据ID   INTEGER,
  原单号       VARCHAR(30) COLLATE TSQL,
  班次         VARCHAR(30) COLLATE TSQL,
  仓库ID       INTEGER,
  车间ID       INTEGER
);
CREATE INDEX ix_sfcdjmx_report ON SFCDJMX (报工单ID);
CREATE INDEX ix_sfcdjmx_product ON SFCDJMX (产品ID, 工艺ID);
CREATE INDEX ix_sfcdjmx_process ON SFCDJMX (工艺ID);
CREATE INDEX ix_sfcdjmx_source ON SFCDJMX (前置单据ID, 前置单据);
CREATE INDEX ix_sfcdjmx_date ON SFCDJMX (生产日期);
CREATE INDEX ix_sfcdjmx_source_number ON SFCDJMX (原单号);

-- The employees of a work report line and their shares of it.
CREATE TABLE SFCDJMXFS (
  报工单明细附属ID INTEGER PRIMARY KEY,
  报工单明细ID     INTEGER,
  员工ID           INTEGER,
  分配比例         FLOAT
);
CREATE INDEX ix_sfcdjmxfs_line ON SFCDJMXFS (报工单明细ID);
CREATE INDEX ix_sfcdjmxfs_employee ON SFCDJMXFS (员工ID);

-- ---------------------------------------------------------------------------------------------
-- Wage system
-- ---------------------------------------------------------------------------------------------

-- The wage system's intake: one row per employee and approved work report line. The wage
-- system sets bIsIntoGz once it has taken a row into payroll.
CREATE TABLE PATempDataMx (
  lAutoID       INTEGER PRIMARY KEY,
  lKj           INTEGER,
  lFsno         INTEGER,
  lDeptID       INTEGER,
  lEmployeeID   INTEGER,
  tCzDate       DATETIME,
  sScPh         VARCHAR(30) COLLATE TSQL,
  sBanCi        VARCHAR(30) COLLATE TSQL,
  dAmount       FLOAT,
  dHour         FLOAT,
  dPrice        FLOAT,
  dMoney        FLOAT,
  sRemark       NVARCHAR(200) COLLATE TSQL,
  sStandby1     NVARCHAR(50) COLLATE TSQL,
  sStandby2     NVARCHAR(50) COLLATE TSQL,
  sStandby3     NVARCHAR(50) COLLATE TSQL,
  sStandby4     NVARCHAR(50) COLLATE TSQL,
  sStandby5     NVARCHAR(50) COLLATE TSQL,
  lGxID         INTEGER,
  lWorkCenterID INTEGER,
  lOutAutoID    INTEGER,
  lGoodsID      INTEGER,
  lOutCzID      INTEGER,
  bIsIntoGz     SMALLINT,
  sOutNumber    VARCHAR(30) COLLATE TSQL
);
CREATE INDEX ix_patempdatamx_source ON PATempDataMx (lOutAutoID, lOutCzID);
CREATE INDEX ix_patempdatamx_employee ON PATempDataMx (lEmployeeID);

-- Wage items (piece wage, overtime, ...), by number.
CREATE TABLE PaItem (
  lFsno     INTEGER PRIMARY KEY,
  sItemCode VARCHAR(20) COLLATE TSQL NOT NULL DEFAULT '',
  sItemName NVARCHAR(50) COLLATE TSQL NOT NULL DEFAULT ''
);

-- The wage system's paid-out detail: what each employee earned, per period, item and source
-- document.
CREATE TABLE paoutdatamx (
  lAutoID       INTEGER PRIMARY KEY,
  lKj           INTEGER,
  lFsno         INTEGER,
  lDeptID       INTEGER,
  lEmployeeID   INTEGER,
  tCzDate       DATETIME,
  sScPh         VARCHAR(30) COLLATE TSQL,
  sBanCi        VARCHAR(30) COLLATE TSQL,
  dAmount       FLOAT,
  dHour         FLOAT,
  dPrice        FLOAT,
  dMoney        FLOAT,
  sRemark       NVARCHAR(200) COLLATE TSQL,
  sStandby1     NVARCHAR(50) COLLATE TSQL,
  sStandby2     NVARCHAR(50) COLLATE TSQL,
  sStandby3     NVARCHAR(50) COLLATE TSQL,
  sStandby4     NVARCHAR(50) COLLATE TSQL,
  sStandby5     NVARCHAR(50) COLLATE TSQL,
  lGxID         INTEGER,
  lWorkCenterID INTEGER,
  lOutAutoID    INTEGER,
  lGoodsID      INTEGER,
  lOutCzID      INTEGER,
  sOutNumber    VARCHAR(30) COLLATE TSQL
);
CREATE INDEX ix_paoutdatamx_employee ON paoutdatamx (lEmployeeID, tCzDate);
CREATE INDEX ix_paoutdatamx_period ON paoutdatamx (lKj);
CREATE INDEX ix_paoutdatamx_source ON paoutdatamx (lOutCzID, lOutAutoID);
