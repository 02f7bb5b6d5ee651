-- The database's own scalar functions, which the modules call from their statements (with or
-- without "dbo."). Each gives what its C++ body gives on the embedded database
-- (src/hostapp/db_procedures.cpp).

-- rSTGoodsDepotAmount(产品ID, 仓库ID, 批号, setting 1, flag, flag): the stock on hand. Depot 0
-- sums every depot, an empty batch every batch; the setting and the flags do not change the
-- answer (the stock table keeps only the current quantity). No stock row gives 0.
CREATE OR REPLACE FUNCTION rSTGoodsDepotAmount(product INTEGER, depot INTEGER, batch TEXT,
                                               setting NUMERIC, flag1 INTEGER, flag2 INTEGER)
RETURNS DOUBLE PRECISION LANGUAGE sql STABLE AS $$
  SELECT coalesce(sum(D.数量), 0)::DOUBLE PRECISION FROM st_goods_depot D
  WHERE D.产品ID = product
    AND (coalesce(depot, 0) = 0 OR D.仓库ID = depot)
    AND (coalesce(trim(batch), '') = '' OR D.批号 = trim(batch))
$$;

-- rSfcDjEmp(报工单明细ID): the names of the line's employees in the order they were allocated,
-- joined by ","; an allocation to an employee since removed is left out. No employees: ''.
CREATE OR REPLACE FUNCTION rSfcDjEmp(line INTEGER)
RETURNS TEXT LANGUAGE sql STABLE AS $$
  SELECT coalesce(string_agg(trim(B.姓名), ',' ORDER BY A.报工单明细附属ID), '')
  FROM sfcdjmxfs A JOIN pdmgy B ON A.员工ID = B.雇员ID
  WHERE A.报工单明细ID = line AND B.姓名 IS NOT NULL
$$;

-- rSfcDjEmpID(报工单明细ID): the employee ids, each between ";" (";3;7;"), so that
-- like '%;3;%' finds employee 3 and never 13 or 31. No employees: ''.
CREATE OR REPLACE FUNCTION rSfcDjEmpID(line INTEGER)
RETURNS TEXT LANGUAGE sql STABLE AS $$
  SELECT coalesce(';' || string_agg(A.员工ID::TEXT, ';' ORDER BY A.报工单明细附属ID) || ';', '')
  FROM sfcdjmxfs A
  WHERE A.报工单明细ID = line AND A.员工ID IS NOT NULL
$$;
